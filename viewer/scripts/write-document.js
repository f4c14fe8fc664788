// Writes a stored document into the page's empty document, in the application's own script world.
//
// args: {first, rest, render, base}
//   first  - the text to write at once (all of a short document)
//   rest   - what follows it, written in a task of its own once the first part is on screen
//            (empty for a short document)
//   render - the number of this render; a later render stops a pending rest
//   base   - the link base put first in the head, so that in-document links are announced
//
// Evaluates to {name} when all of it is written (name: the title, else the address), or to
// {pending: true, name} after the first part; `written-name.js` then tells when the rest is in.
(function (args) {
    var d = document;
    var w = window;

    function insertBase() {
        var head = d.head || d.documentElement;
        if (!head)
            return;
        var base = d.createElement('base');
        base.href = args.base;
        head.insertBefore(base, head.firstChild);
    }

    function nameOf() {
        return d.title || d.URL;
    }

    function finish() {
        if (w.__orvelleRender !== args.render)
            return;
        if (args.rest)
            d.write(args.rest);
        d.close();
        insertBase();
        w.scrollTo(0, 0); // a new document starts at its top
        w.__orvelleWritten = {render: args.render, name: nameOf()};
    }

    w.__orvelleRender = args.render;
    w.__orvelleWritten = null;
    d.open();
    d.write(args.first);
    if (!args.rest) {
        finish();
        return {name: w.__orvelleWritten.name};
    }
    w.scrollTo(0, 0);
    // Let a frame show the first part, then write the rest.
    var started = false;
    function go() {
        if (!started) {
            started = true;
            finish();
        }
    }
    requestAnimationFrame(function () { setTimeout(go, 0); });
    setTimeout(go, 100);
    return {pending: true, name: nameOf()};
})
