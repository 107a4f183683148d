// Zarnith's colours for the editor. A line whose first character is "#" is a
// comment (only the very first character counts); texts are in double
// quotes; a class call is the word before a colon and the command after it.
import { StreamLanguage } from '@codemirror/language';

const keywords = new Set([
  'print', 'printc', 'sleep', 'exit', 'jump', 'append', 'return', 'typeof', 'readline',
  'use', 'if', 'elif', 'else', 'end', 'array',
]);
const types = new Set(['int', 'string', 'int-array', 'string-array']);
const special = new Set(['returned', 'arg', 'nil']);

export const zarnith = StreamLanguage.define({
  name: 'zarnith',
  token(stream) {
    if (stream.sol() && stream.peek() === '#') {
      stream.skipToEnd();
      return 'comment';
    }
    if (stream.eatSpace()) return null;
    if (stream.match(/^"[^"]*"?/)) return 'string';
    if (stream.match(/^[A-Za-z_]\w*:[A-Za-z_]\w*/)) return 'className';
    if (stream.match(/^-?\d+(?![\w])/)) return 'number';
    const word = stream.match(/^[A-Za-z_][\w-]*/);
    if (word) {
      if (keywords.has(word[0])) return 'keyword';
      if (types.has(word[0])) return 'typeName';
      if (special.has(word[0])) return 'atom';
      return 'variableName';
    }
    if (stream.match(/^(==|!=|<=|>=|[-+*/=<>])/)) return 'operator';
    stream.next();
    return null;
  },
  languageData: { commentTokens: { line: '#' } },
});
