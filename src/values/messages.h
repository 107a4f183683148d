// Every message text the interpreter prints, in one place. The odd grammar of
// some texts ("Class is not exists", "Missed few argument") is what scripts and
// their users see and match against; keep each text exactly as it stands.
#pragma once

#include <string_view>

#include "version.h"

namespace zarnith::msg {

// Program entry and the shell.
inline constexpr std::string_view kBanner = "Zarnith " ZARNITH_VERSION " (" ZARNITH_RELEASE_DATE ")";
inline constexpr std::string_view kPrompt = "> ";
inline constexpr std::string_view kLineTooLong = "line too long";
inline constexpr std::string_view kOutOfMemory = "out of memory";
// The digest library is opened on first use; a system without it says so.
inline constexpr std::string_view kCryptoUnavailable = "crypto library could not be loaded";

// Values and arithmetic.
inline constexpr std::string_view kNotArrayVariable = "not a array variable";
inline constexpr std::string_view kIndexNotIntCritical =
    "array index is not a int, this is critical error";
inline constexpr std::string_view kIndexOutOfRangeCritical =
    "index out of range, this is critical error";
inline constexpr std::string_view kDivisionByZero = "division by zero";
inline constexpr std::string_view kPleaseFixMe = "Please fix me in code";

// Declarations and assignments.
inline constexpr std::string_view kUnknownArrayType = "unknown array type";
inline constexpr std::string_view kArrayAlreadyExists = "this array is already exists";
inline constexpr std::string_view kIndexNotInt = "array index is not a int";
inline constexpr std::string_view kNegativeArrayLength = "negative array length";
inline constexpr std::string_view kArrayTooLarge = "array length is too large";
inline constexpr std::string_view kVariableAlreadyExists = "this variable is already exists";
inline constexpr std::string_view kArrayIsNotExists = "this array isn't exists";
inline constexpr std::string_view kIndexOutOfRange = "index out of range";
inline constexpr std::string_view kArrayTypeMismatch =
    "the array type does not match the type of the new value";

// Conditional blocks.
inline constexpr std::string_view kMissedCondition = "Missed condition";
inline constexpr std::string_view kCompareMismatch =
    "There is a mismatch in the type of the values being compared";

// Comma-form statements and class commands.
inline constexpr std::string_view kMissedArgument1 = "Missed argument 1";
inline constexpr std::string_view kMissedFewArguments = "Missed few arguments";
inline constexpr std::string_view kMissedFewArgument = "Missed few argument";
inline constexpr std::string_view kMissedStringArgument = "Missed string argument";
inline constexpr std::string_view kMissedIntArgument = "Missed int argument";
inline constexpr std::string_view kMissedFirstArgument = "Missed first argument";
inline constexpr std::string_view kFirstNotInt = "Type of first argument is not a int, is a ";
inline constexpr std::string_view kFirstNotString = "Type of first argument is not a string, is a ";
inline constexpr std::string_view kOneNotString = "One of the arguments is not a string";
inline constexpr std::string_view kReturnUnknown = "return value can not be with type \"unknown\"";
inline constexpr std::string_view kJumpOutOfRange = "jump target out of range";

// Class registry.
inline constexpr std::string_view kClassNotExists = "Class is not exists";
inline constexpr std::string_view kClassNotUsed = "This class is not used";
inline constexpr std::string_view kClassInitError = "Error while initializing class";

// strings class.
inline constexpr std::string_view kNotAnInt = "Maybe, specified string is not an int";

// fs class.
inline constexpr std::string_view kSecondNotInt = "Second argument is not a int";
inline constexpr std::string_view kFileNotExists = "File isn't exists";
inline constexpr std::string_view kBadLine = "Bad line";
inline constexpr std::string_view kFileAlreadyClosed = "file already closed";
inline constexpr std::string_view kUseOfClosedFile = "use of closed file";
// The text that a failed read of a line (and a failed os:execute) hands back.
inline constexpr std::string_view kNil = "nil";
// Operation words of the "OPERATION PATH: reason" descriptions.
inline constexpr std::string_view kOpOpen = "open";
inline constexpr std::string_view kOpClose = "close";
inline constexpr std::string_view kOpRead = "read";
inline constexpr std::string_view kOpWrite = "write";
inline constexpr std::string_view kOpRename = "rename";
inline constexpr std::string_view kOpRemove = "remove";
inline constexpr std::string_view kOpMkdir = "mkdir";

// os class.
inline constexpr std::string_view kOsFirstNotString = "First argument is not a string, is a ";
inline constexpr std::string_view kUnableToStart = "Unable to start ";
// The reasons after "Unable to start PROGRAM: ".
inline constexpr std::string_view kExecPrefix = "exec: ";
inline constexpr std::string_view kNotFoundInPath = "executable file not found in $PATH";
inline constexpr std::string_view kForkExec = "fork/exec ";
inline constexpr std::string_view kExitStatus = "exit status ";
inline constexpr std::string_view kSignal = "signal: ";
// Waiting for the program failed, so how it ended is not known.
inline constexpr std::string_view kWaitPrefix = "wait: ";

// bass class.
inline constexpr std::string_view kBassFirstNotString = "First argument is not a string, is a ";
inline constexpr std::string_view kBassFirstNotInt = "First argument is not an int, is a ";
inline constexpr std::string_view kBassOneNotInt = "One of the arguments is not a int";
inline constexpr std::string_view kBassNotStream = "This object is not a bass_stream object";
inline constexpr std::string_view kBassVolumeRange = "Volume only from 0 to 100";
inline constexpr std::string_view kBassInitError = "BASS init error";
inline constexpr std::string_view kBassError = "BASS error";
inline constexpr std::string_view kBassErrorCode = "BASS error: ";

}  // namespace zarnith::msg
