// Keeps the page current: every refresh period the main part is fetched again (the server
// makes it from the same data as /api/) and put in place, without reloading the page.
(function () {
    'use strict';
    var main = document.getElementById('view');
    var offline = document.getElementById('offline');
    var updated = document.getElementById('updated');
    var period = Number(document.body.getAttribute('data-refresh')) || 5000;
    var shown = main ? main.innerHTML : '';
    var refreshed = 0; // told in the body's data-refreshed, for whoever checks the page

    function clock() {
        var now = new Date();
        function two(n) { return (n < 10 ? '0' : '') + n; }
        return two(now.getHours()) + ':' + two(now.getMinutes()) + ':' + two(now.getSeconds());
    }

    function refresh() {
        fetch(location.pathname + location.search,
              { headers: { 'X-Tav-Part': 'main' }, cache: 'no-store', credentials: 'same-origin' })
            .then(function (answer) {
                if (!answer.ok)
                    throw new Error(String(answer.status));
                return answer.text();
            })
            .then(function (html) {
                offline.hidden = true;
                if (html !== shown) {
                    main.innerHTML = html;
                    shown = html;
                }
                updated.textContent = clock();
                document.body.setAttribute('data-refreshed', String(++refreshed));
            })
            .catch(function () { offline.hidden = false; })
            .then(function () { setTimeout(refresh, period); });
    }

    if (main)
        setTimeout(refresh, period);
})();
