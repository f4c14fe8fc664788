// Writes the rest of a long document once a frame has shown its first part (see
// `write-document.js`). Evaluates to false when the render is no longer the page's.
//
// args: {rest, render}
(function (args) {
    var w = window;
    var finish = w.__orvelleFinish;
    if (w.__orvelleRender !== args.render || !finish)
        return false;
    w.__orvelleFinish = null;
    var started = false;
    function go() {
        if (!started) {
            started = true;
            finish(args.rest);
        }
    }
    requestAnimationFrame(function () { setTimeout(go, 0); });
    setTimeout(go, 100);
    return true;
})
