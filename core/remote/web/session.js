// What the page knows of its server, whichever view shows: the feed's state,
// whether its token turned out read-only, and why the server refused the
// page. Every view says the same when the server is away.

export class Session {
  constructor() {
    // The feed's state: {state: "connecting" | "live" | "down", retryAt}.
    this.link = { state: 'connecting' };
    this.readOnly = false;
    // Why the server refused the page (no token, a wrong one), or null.
    this.refusedAccess = null;
  }

  get live() {
    return this.link.state === 'live';
  }

  // The header's link and the banner while the feed is not live, or null.
  down(now = performance.now()) {
    if (this.live) return null;
    const text = this.refusedAccess ? 'Token needed' : this.link.state === 'connecting' ? 'Connecting\u2026' : 'Server unreachable';
    let detail;
    if (this.refusedAccess) detail = `The server refused this page: ${this.refusedAccess.trim().replace(/\.+$/, '')}. Open the address the server printed, with its ?token=.`;
    else if (this.link.state === 'connecting') detail = 'Connecting to the server\u2026';
    else detail = `Trying again in ${Math.max(1, Math.ceil((this.link.retryAt - now) / 1000))} s.`;
    return {
      link: { state: 'down', text },
      banner: { kind: 'alarm', title: 'No connection to the server \u2014 nothing is sent', text: `${detail} The values shown may be out of date.` },
    };
  }
}

// The server's reason as a sentence of the banner: "The device went away."
export function sentence(text) {
  const trimmed = String(text ?? '').trim().replace(/\.+$/, '');
  return trimmed ? `${trimmed[0].toUpperCase()}${trimmed.slice(1)}.` : '';
}
