// Run in every frame when its document is ready: a frame below the top one gets the link base
// too, so links inside frames are announced as well.
//
// args: {base}
(function (args) {
    if (window.top === window)
        return;
    var d = document;
    var head = d.head || d.documentElement;
    if (!head)
        return;
    var base = d.createElement('base');
    base.href = args.base;
    head.insertBefore(base, head.firstChild);
})
