// Writes a stored document into the page's empty document, in the application's own script world.
//
// args: {first, more, render, base, peers}
//   first  - the text to write at once (all of a short document)
//   more   - true when a rest follows; `write-rest.js` brings it, so that this script stays
//            small and the first part is on screen before the rest has even arrived
//   render - the number of this render; a later render stops a pending rest
//   base   - the link base put first in the head, so that in-document links are announced
//   peers  - the source of `no-peer-connections.js`, for the frames of the document's markup
//
// Evaluates to {name, title} when all of it is written (name: the title, else the address;
// title: empty when it has none), or to {pending: true, name, title} after the first part;
// `written-name.js` then tells when the rest is in.
(function (args) {
    var d = document;
    var w = window;

    // Put in after the first part, so that its links are announced while the rest arrives, and
    // again at the end, should the rest have brought a head of its own.
    function insertBase() {
        var head = d.head || d.documentElement;
        if (!head)
            return;
        var first = head.firstChild;
        if (first && first.nodeName === 'BASE' && first.getAttribute('href') === args.base)
            return;
        var base = d.createElement('base');
        base.href = args.base;
        head.insertBefore(base, head.firstChild);
    }

    function nameOf() {
        return d.title || d.URL;
    }

    // Scrolls to the element an in-document link names; false when there is none (yet).
    function scrollToLink(href) {
        var anchor;
        try {
            anchor = decodeURIComponent(href.slice(args.base.length + 1));
        } catch (e) {
            anchor = href.slice(args.base.length + 1);
        }
        var element = d.getElementById(anchor) || d.getElementsByName(anchor)[0];
        if (!element)
            return false;
        element.scrollIntoView(true);
        return true;
    }

    // While the rest arrives a link click would start a navigation, and any navigation, even
    // one refused, ends the parsing: links are held here instead. The last in-document one is
    // followed at once when its anchor is already in, else when the rest is.
    var heldLink = null;
    function holdLinks(event) {
        var link = event.target && event.target.closest ? event.target.closest('a[href], area[href]')
                                                        : null;
        if (!link)
            return;
        event.preventDefault();
        event.stopPropagation();
        var href = link.href;
        if (href.indexOf(args.base + '#') === 0 && !scrollToLink(href))
            heldLink = href;
    }

    function finish(rest) {
        d.removeEventListener('click', holdLinks, true);
        if (w.__orvelleRender !== args.render)
            return;
        if (rest)
            d.write(rest);
        d.close();
        insertBase();
        w.scrollTo(0, 0); // a new document starts at its top
        if (heldLink)
            scrollToLink(heldLink);
        w.__orvelleWritten = {render: args.render, name: nameOf(), title: d.title};
    }

    // A frame in the document's own markup gets its empty first document in the middle of this
    // write, where none of the program's page scripts runs, and an inline script of the
    // document could reach it by index before anything else could strip it. The engine loads
    // such a frame at once, as the parser inserts it: strip its window then, with a script
    // element, which runs in the frame's own world.
    function stripFrame(event) {
        var frame = event.target;
        if (!frame || !/^(IFRAME|FRAME|OBJECT)$/.test(frame.nodeName))
            return;
        try {
            var fd = frame.contentDocument;
            var root = fd && (fd.documentElement || fd.body);
            if (!root)
                return;
            var script = fd.createElement('script');
            script.textContent = args.peers;
            root.appendChild(script);
            script.remove();
        } catch (e) {
            // a frame of another origin: its own document creation strips it
        }
    }

    w.__orvelleRender = args.render;
    w.__orvelleWritten = null;
    w.__orvelleFinish = null;
    d.open();
    d.addEventListener('load', stripFrame, true); // after open(), which drops listeners
    d.write(args.first);
    if (!args.more) {
        finish('');
        return {name: w.__orvelleWritten.name, title: d.title};
    }
    insertBase();
    d.addEventListener('click', holdLinks, true);
    w.scrollTo(0, 0);
    w.__orvelleFinish = finish;
    return {pending: true, name: nameOf(), title: d.title};
})
