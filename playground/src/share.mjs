// Share links: #code=<base64url>&stdin=<base64url>&args=<base64url> (the
// last two when not empty), each the UTF-8 bytes of its text in base64 with
// the URL-safe alphabet and no padding.

export function toBase64Url(text) {
  const bytes = new TextEncoder().encode(text);
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000) {
    binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  }
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

// The text, or null when `value` is not base64url of UTF-8 text.
export function fromBase64Url(value) {
  try {
    const binary = atob(value.replace(/-/g, '+').replace(/_/g, '/'));
    const bytes = Uint8Array.from(binary, (c) => c.charCodeAt(0));
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch {
    return null;
  }
}

// {code, stdin, args} of a location hash; each may be null.
export function parseShareHash(hash) {
  const params = new URLSearchParams(hash.replace(/^#/, ''));
  const read = (name) => (params.has(name) ? fromBase64Url(params.get(name)) : null);
  return { code: read('code'), stdin: read('stdin'), args: read('args') };
}

export function shareHash(code, stdin, args) {
  let hash = '#code=' + toBase64Url(code);
  if (stdin) hash += '&stdin=' + toBase64Url(stdin);
  if (args) hash += '&args=' + toBase64Url(args);
  return hash;
}
