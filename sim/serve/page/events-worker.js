// One event stream for every tab of the inspector in this browser: a browser keeps only
// a few connections open to one server, so the tabs share this one. A tab that joins
// gets the newest events first.
'use strict';
const ports = new Set();
const recent = [];
const RECENT = 500;
let source = null;

function send(kind, data, seq) {
  for (const port of ports) port.postMessage({ kind, data, seq });
}

function open() {
  source = new EventSource('/api/events');
  source.addEventListener('events', m => {
    const events = JSON.parse(m.data);
    recent.push(...events);
    if (recent.length > RECENT) recent.splice(0, recent.length - RECENT);
    send('events', events, m.lastEventId);
  });
  source.addEventListener('status', m => send('status', JSON.parse(m.data), m.lastEventId));
  source.addEventListener('resync', () => send('resync'));
  source.addEventListener('open', () => send('open'));
  source.addEventListener('error', () => {
    send('lost');
    // A refused stream (503) is not tried again by the browser: this worker tries.
    if (source.readyState === EventSource.CLOSED) setTimeout(open, 2000);
  });
}

onconnect = ev => {
  const port = ev.ports[0];
  ports.add(port);
  port.addEventListener('close', () => ports.delete(port));
  port.start();
  if (recent.length) port.postMessage({ kind: 'events', data: recent.slice() });
  if (source && source.readyState === EventSource.OPEN) port.postMessage({ kind: 'open' });
  else if (source) port.postMessage({ kind: 'lost' });
  if (!source) open();
};
