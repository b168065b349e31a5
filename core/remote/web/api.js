// The server's HTTP API as the page uses it. Every request says it comes from
// the page (X-KV-Client: web), so the change is told to the others as
// "web". The token, when the server needs one, travels in the cookie the
// server set when the page was opened with ?token=.

export class ApiError extends Error {
  constructor(status, path, reason) {
    super(reason);
    this.status = status;
    this.path = path;
    this.reason = reason;
  }

  // The read-only token may watch but not change: the server says 403 with
  // these words.
  get readOnly() {
    return this.status === 403 && /read-only/.test(this.reason);
  }
}

async function call(method, url, body) {
  const init = { method, headers: { 'X-KV-Client': 'web' }, credentials: 'same-origin', cache: 'no-store' };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(url, init);
  } catch (e) {
    throw new ApiError(0, '', 'the server cannot be reached');
  }
  let doc = null;
  try {
    doc = await response.json();
  } catch (e) {
    // Not every answer (a proxy's, a 413 cut short) is JSON.
  }
  if (!response.ok) {
    const error = doc && doc.error ? doc.error : {};
    throw new ApiError(response.status, error.path || '', error.reason || `the server answered ${response.status}`);
  }
  return doc;
}

export const api = {
  unit: () => call('GET', '/api/v1/unit'),
  program: () => call('GET', '/api/v1/program'),
  memories: (refresh) => call('GET', refresh ? '/api/v1/memories?refresh=1' : '/api/v1/memories'),
  // {"out3.gain": -2.4, ...}: answers the values as the unit holds them.
  patch: (settings) => call('PATCH', '/api/v1/program', settings),
  recall: (memory) => call('POST', `/api/v1/memories/${memory}/recall`),
  muteAll: () => call('POST', '/api/v1/mute-all'),
  unmuteAll: () => call('POST', '/api/v1/unmute-all'),
};
