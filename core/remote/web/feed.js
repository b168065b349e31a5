// The server's WebSocket: a snapshot first, then every change, the unit's
// state and the memory list as they change. A socket that drops is opened
// again, sooner at first and then every few seconds, and every open starts
// with a fresh snapshot, so nothing missed while it was down stays wrong.

const kFirstRetryMs = 500;
const kLongestRetryMs = 5000;
// A socket whose network went away (a phone off the wireless) may say
// nothing for minutes: while live, the server is asked this often whether it
// is still there, and the socket dropped when it does not answer in time.
const kCheckEveryMs = 5000;
const kCheckTimeoutMs = 3000;

export class Feed {
  // onMessage(message) for each message; onState({state, retryAt}) where
  // state is "connecting", "live" or "down" (retryAt: when the next try
  // starts, performance.now() time). checkUrl: a route of the server that
  // answers quickly (it may change once the page knows what it talks to).
  constructor(url, { onMessage, onState, checkUrl = '/api/v1/unit' }) {
    this.url = url;
    this.checkUrl = checkUrl;
    this.onMessage = onMessage;
    this.onState = onState;
    this.retryMs = kFirstRetryMs;
    this.socket = null;
    this.timer = null;
    this.opened = false;
  }

  start() {
    this.connect();
    setInterval(() => this.check(), kCheckEveryMs);
    // A phone that wakes the page after a sleep need not wait for the next
    // try.
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible' && !this.socket) {
        clearTimeout(this.timer);
        this.timer = null;
        this.connect();
      }
    });
  }

  connect() {
    if (this.socket) return;
    this.onState({ state: 'connecting' });
    const socket = new WebSocket(this.url);
    this.socket = socket;
    this.opened = false;
    socket.onmessage = (event) => {
      // A socket given up for dead says nothing more.
      if (this.socket !== socket) return;
      let message;
      try {
        message = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      if (message.type === 'snapshot') {
        this.opened = true;
        this.retryMs = kFirstRetryMs;
        this.onState({ state: 'live' });
      }
      this.onMessage(message);
    };
    socket.onclose = () => this.lost(socket);
  }

  async check() {
    const socket = this.socket;
    if (!socket || !this.opened) return;
    // AbortSignal.timeout() is newer than some tablets' browsers.
    const abort = new AbortController();
    const timer = setTimeout(() => abort.abort(), kCheckTimeoutMs);
    try {
      // Any answer will do: the server is there.
      await fetch(this.checkUrl, { cache: 'no-store', signal: abort.signal });
    } catch (e) {
      if (this.socket === socket) {
        socket.onclose = null;
        socket.close();
        this.lost(socket);
      }
    } finally {
      clearTimeout(timer);
    }
  }

  lost(socket) {
    if (this.socket !== socket) return;
    this.socket = null;
    const wait = this.retryMs;
    this.retryMs = Math.min(this.retryMs * 2, kLongestRetryMs);
    this.onState({ state: 'down', retryAt: performance.now() + wait, everOpened: this.opened });
    this.timer = setTimeout(() => {
      this.timer = null;
      this.connect();
    }, wait);
  }
}
