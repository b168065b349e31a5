// The server's HTTP API as the page uses it. Every request says it comes from
// the page (X-KV-Client: web), so the change is told to the others as
// "web". The token, when the server needs one, travels in the cookie the
// server set when the page was opened with ?token=.

export class ApiError extends Error {
  // body: the server's answer as it came (a group's answer names each unit's
  // own status), or null.
  constructor(status, path, reason, body = null) {
    super(reason);
    this.status = status;
    this.path = path;
    this.reason = reason;
    this.body = body;
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
    throw new ApiError(response.status, error.path || '', error.reason || `the server answered ${response.status}`, doc);
  }
  return doc;
}

// The routes of one unit under `base`: "/api/v1" on a server of one unit,
// "/api/v1/units/main-l" on a server over a rack.
export function unitApi(base) {
  return {
    unit: () => call('GET', `${base}/unit`),
    program: () => call('GET', `${base}/program`),
    memories: (refresh) => call('GET', refresh ? `${base}/memories?refresh=1` : `${base}/memories`),
    // {"out3.gain": -2.4, ...}: answers the values as the unit holds them.
    patch: (settings) => call('PATCH', `${base}/program`, settings),
    recall: (memory) => call('POST', `${base}/memories/${memory}/recall`),
    muteAll: () => call('POST', `${base}/mute-all`),
    unmuteAll: () => call('POST', `${base}/unmute-all`),
  };
}

export const api = unitApi('/api/v1');

// A server over a rack: the list of units, each unit's routes, and a group's
// routes, which answer {"units": {alias: {"status", "body"}}} with the worst
// of the units' statuses.
export const rackApi = {
  units: () => call('GET', '/api/v1/units'),
  unit: (alias) => unitApi(`/api/v1/units/${encodeURIComponent(alias)}`),
  group: (group) => {
    const base = `/api/v1/groups/${encodeURIComponent(group)}`;
    return {
      muteAll: () => call('POST', `${base}/mute-all`),
      unmuteAll: () => call('POST', `${base}/unmute-all`),
      recall: (memory) => call('POST', `${base}/memories/${memory}/recall`),
    };
  },
};
