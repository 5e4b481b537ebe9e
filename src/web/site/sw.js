// The offline copy of the site: every request goes to the network first
// (so a new version is picked up at once) and falls back to the copy kept
// from the last visit when there is none.
'use strict';

const CACHE = 'orlix-site';
const SITE = ['./', 'index.html', 'orlix.css', 'shell.js', 'orlix.js', 'orlix.wasm', 'manifest.webmanifest',
              'icons/orlix.svg', 'icons/192.png', 'icons/512.png', 'help.html'];

self.addEventListener('install', e => {
  e.waitUntil(caches.open(CACHE).then(c => c.addAll(SITE)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', e => e.waitUntil(self.clients.claim()));

self.addEventListener('fetch', e => {
  if (e.request.method !== 'GET' || new URL(e.request.url).origin !== self.location.origin) return;
  e.respondWith(fetch(e.request).then(response => {
    if (response.ok) {
      const copy = response.clone();
      caches.open(CACHE).then(c => c.put(e.request, copy));
    }
    return response;
  }).catch(() => caches.match(e.request, {ignoreSearch: true}).then(r => r || Response.error())));
});
