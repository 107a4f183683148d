// Tokenizes Zarnith scripts with the editor grammar through vscode-textmate
// and vscode-oniguruma, the libraries VS Code itself uses.
//
// Usage: node grammar_test.js GRAMMAR SAMPLE [SCRIPT...]
// SAMPLE holds check lines under the lines they test:
//   "# ^^^ scope"   the marked columns carry scope (or a scope below it)
//   "#<--- scope"   the same for the columns from 0 (one per dash)
//   a scope written "!scope" must not be there.
// Every further SCRIPT must tokenize without an invalid scope.
'use strict';
const fs = require('fs');
const path = require('path');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

async function loadGrammar(grammarPath) {
  const wasm = fs.readFileSync(path.join(path.dirname(require.resolve('vscode-oniguruma')), 'onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }),
    loadGrammar: async (scopeName) => scopeName === 'source.zarnith'
      ? vsctm.parseRawGrammar(fs.readFileSync(grammarPath, 'utf8'), grammarPath)
      : null,
  });
  return registry.loadGrammar('source.zarnith');
}

function tokenize(grammar, text) {
  let stack = vsctm.INITIAL;
  return text.split('\n').map((line) => {
    const result = grammar.tokenizeLine(line, stack);
    stack = result.ruleStack;
    return { line, tokens: result.tokens };
  });
}

function scopesAt(tokens, column) {
  const token = tokens.find((t) => t.startIndex <= column && column < t.endIndex);
  return token ? token.scopes : [];
}

function hasScope(scopes, wanted) {
  return scopes.some((s) => s === wanted || s.startsWith(wanted + '.'));
}

// Columns and scope of a check line, or null for an ordinary line.
function parseCheck(line) {
  let m = /^#(\s*)(\^+)\s+(\S+)\s*$/.exec(line);
  if (m) return { first: 1 + m[1].length, count: m[2].length, scope: m[3] };
  m = /^#<(-+)\s+(\S+)\s*$/.exec(line);
  if (m) return { first: 0, count: m[1].length, scope: m[2] };
  return null;
}

function checkSample(grammar, samplePath) {
  const lines = tokenize(grammar, fs.readFileSync(samplePath, 'utf8'));
  const failures = [];
  let target = null;
  let checks = 0;
  lines.forEach(({ line, tokens }, index) => {
    const check = parseCheck(line);
    if (!check) {
      target = { line, tokens, number: index + 1 };
      return;
    }
    const negate = check.scope.startsWith('!');
    const scope = negate ? check.scope.slice(1) : check.scope;
    for (let column = check.first; column < check.first + check.count; column++) {
      checks++;
      const scopes = scopesAt(target.tokens, column);
      if (hasScope(scopes, scope) === negate) {
        failures.push(`${samplePath}:${index + 1}: line ${target.number} column ${column} ` +
          `(${JSON.stringify(target.line[column])}) ${negate ? 'has' : 'lacks'} ${scope}; ` +
          `scopes: ${scopes.join(' ')}`);
      }
    }
  });
  return { failures, checks };
}

function checkClean(grammar, scriptPath) {
  const failures = [];
  tokenize(grammar, fs.readFileSync(scriptPath, 'utf8')).forEach(({ line, tokens }, index) => {
    for (const t of tokens) {
      if (hasScope(t.scopes, 'invalid')) {
        failures.push(`${scriptPath}:${index + 1}: invalid scope at column ${t.startIndex}: ${line}`);
      }
    }
  });
  return failures;
}

async function main() {
  const [grammarPath, samplePath, ...scripts] = process.argv.slice(2);
  const grammar = await loadGrammar(grammarPath);
  const { failures, checks } = checkSample(grammar, samplePath);
  for (const script of scripts) failures.push(...checkClean(grammar, script));
  if (checks === 0) failures.push('no checks found in ' + samplePath);
  for (const f of failures) console.log(f);
  console.log(`${checks} scope checks, ${scripts.length} scripts: ` +
    (failures.length ? `${failures.length} failed` : 'all passed'));
  process.exit(failures.length ? 1 : 0);
}

main().catch((err) => {
  console.error(err);
  process.exit(1);
});
