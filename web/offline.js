// Installs the page's service worker (service_worker.js), which keeps the
// page's files so that it opens with the network off. Browsers run service
// workers only in a secure context (HTTPS, or http://localhost and
// 127.0.0.1); elsewhere the page simply stays online-only.
//
// A new build's worker takes over as soon as it has stored the new files;
// a page still loading or at its start screen then reloads into the new
// build (`canReload()`), a page in play keeps the build it runs, and the
// next visit opens the new one. The page calls this first thing, so that
// no takeover goes unseen; the worker is registered once the page has
// loaded, not to slow down its first visit.
export function keepOffline(canReload, report) {
  if (!('serviceWorker' in navigator) || !window.isSecureContext) {
    report.offline = 'unavailable';
    return;
  }
  const hadController = navigator.serviceWorker.controller !== null;
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    if (hadController && canReload()) location.reload();
  });
  const register = () => navigator.serviceWorker.register('service_worker.js')
    .then(() => navigator.serviceWorker.ready)
    .then(() => { report.offline = 'ready'; })
    .catch((error) => {
      report.offline = 'failed';
      console.warn(`vonkel: no offline copy (${error.message})`);
    });
  if (document.readyState === 'complete') register();
  else window.addEventListener('load', register);
}
