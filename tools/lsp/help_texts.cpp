#include "lsp/help_texts.h"

#include <string>

namespace zarnith::lsp {

namespace {

constexpr HelpEntry kStatements[] = {
    {"print", "print, text", "Writes the text (or the value of a variable) and a line break.", ""},
    {"printc", "printc, text", "Writes the text without a line break.", ""},
    {"append", "append, text, text", "Joins two texts.", "the joined text"},
    {"return", "return, value", "Sets the returned value; it does not leave anything.",
     "the int or text given"},
    {"typeof", "typeof, token", "Tells the type of a token.",
     "the type name, as in int or string"},
    {"readline", "readline",
     "Reads one line from standard input; quotes around the line are removed.",
     "the line, or the empty text at the end of input"},
    {"sleep", "sleep, ms", "Waits that many milliseconds (a written number only).", ""},
    {"jump", "jump, line", "Continues at that line of the script (lines count from 1).", ""},
    {"exit", "exit or exit, status",
     "Ends the program with the status (0 without one; the low 8 bits are kept).", ""},
    {"use", "use, \"class\"", "Enables a class: hello, strings, crypto, fs, os or bass.",
     "1 when the class was enabled, 0 when not"},
    {"if", "if value op value",
     "Runs the lines up to the next elif, else or end when the condition holds. Operators: "
     "== and != (ints and texts), < and > (ints). Chains do not nest.",
     ""},
    {"elif", "elif value op value", "Tried when no branch of the chain ran before it.", ""},
    {"else", "else", "Runs when no branch of the chain ran before it.", ""},
    {"end", "end", "Closes the if chain. On its own it does nothing, so loops jump to it.", ""},
    {"array", "array int name[N] or array string name[N]",
     "Declares an array of N elements, 0 or the empty text, indexed from 0.", ""},
};

constexpr HelpEntry kCommands[] = {
    {"hello:hello", "hello:hello", "Prints a greeting.", ""},
    {"strings:atoi", "strings:atoi, text", "Reads the text as an int.",
     "the int, or -1 when the text is not one"},
    {"strings:itoa", "strings:itoa, int", "Writes the number as text.", "the text"},
    {"strings:index", "strings:index, needle, haystack",
     "Finds the first needle in the haystack.", "its position from 0, or -1"},
    {"strings:split", "strings:split, text, separator, name",
     "Cuts the text at each separator (an empty one cuts every character); the pieces become "
     "the string array name.",
     "the number of pieces"},
    {"crypto:md5sum", "crypto:md5sum, text", "The MD5 digest of the text.",
     "the digest in lower-case hexadecimal"},
    {"crypto:sha1sum", "crypto:sha1sum, text", "The SHA-1 digest of the text.",
     "the digest in lower-case hexadecimal"},
    {"crypto:sha256sum", "crypto:sha256sum, text", "The SHA-256 digest of the text.",
     "the digest in lower-case hexadecimal"},
    {"crypto:sha512sum", "crypto:sha512sum, text", "The SHA-512 digest of the text.",
     "the digest in lower-case hexadecimal"},
    {"fs:open", "fs:open, path or fs:open, path, mode",
     "Opens a file: to read; mode 1 reads and writes, emptied, made if missing; mode 2 reads "
     "and appends, made if missing.",
     "the handle, or -1"},
    {"fs:create", "fs:create, path", "Makes a new file, refused if it exists.",
     "the handle, or -1"},
    {"fs:write", "fs:write, handle, text", "Writes the text to the file.",
     "the number of bytes written, or -1"},
    {"fs:read", "fs:read, handle, name",
     "Reads the rest of the file into the string variable name.",
     "the number of bytes read, or -1"},
    {"fs:readline", "fs:readline, handle, n", "Reads the rest of the file and picks line n, from 0.",
     "the line, or nil"},
    {"fs:close", "fs:close, handle", "Closes the file.", "1, or 0"},
    {"fs:move", "fs:move, old, new", "Renames or moves a file or directory.", "1, or 0"},
    {"fs:remove", "fs:remove, path", "Removes a file or an empty directory.", "1, or 0"},
    {"fs:makedir", "fs:makedir, path", "Makes one directory.", "1, or 0"},
    {"os:execute", "os:execute, \"program argument\"",
     "Runs a program found along PATH; everything after the first space is one single "
     "argument, and no shell reads the line.",
     "everything the program printed, or nil when it failed"},
    {"bass:init", "bass:init, device",
     "Prepares an output device: -1 the default output, 0 silent, 1 and up the outputs "
     "bass:test names.",
     "1, or 0"},
    {"bass:test", "bass:test, device", "Names a device.", "the name, or nil"},
    {"bass:file", "bass:file, path", "Opens a stream from a file.", "the stream number, or -1"},
    {"bass:url", "bass:url, url", "Opens a stream from a URL.", "the stream number, or -1"},
    {"bass:play", "bass:play, stream, restart", "Plays the stream (restart 1 starts it again).",
     "1, or 0"},
    {"bass:pause", "bass:pause, stream", "Pauses the stream.", "1, or 0"},
    {"bass:stop", "bass:stop, stream", "Stops the stream.", "1, or 0"},
    {"bass:setvolume", "bass:setvolume, stream, volume", "Sets the volume, 0 to 100.",
     "the volume, or -1"},
    {"bass:free", "bass:free, stream", "Releases the stream.", "1, or 0"},
};


}  // namespace

std::span<const HelpEntry> StatementHelp() { return kStatements; }
std::span<const HelpEntry> CommandHelp() { return kCommands; }
const HelpEntry* FindHelp(std::string_view name) {
  for (std::span<const HelpEntry> list : {StatementHelp(), CommandHelp()}) {
    for (const HelpEntry& e : list) {
      if (e.name == name) return &e;
    }
  }
  return nullptr;
}

}  // namespace zarnith::lsp
