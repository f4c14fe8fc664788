// Marks every place where one of args.words stands in the document's text as a whole word
// (letter case ignored), in a colour no style of the document can take away, and scrolls the
// first mark to the middle of the view. Text of scripts, styles and form fields is left alone.
// Bounded whatever the document: at most args.limit marks, and no more work once args.budget
// milliseconds have gone by. Evaluates to the number of marks made.
//
// args: {words, limit, budget}
(function (args) {
    var started = Date.now();
    var words = (args.words || []).filter(function (w) { return typeof w === 'string' && w.length > 0; });
    if (!words.length || !document.body)
        return 0;
    // Longest first, so that a word which begins another does not take its place.
    words.sort(function (a, b) { return b.length - a.length; });
    var escaped = words.map(function (w) { return w.replace(/[\\^$.*+?()[\]{}|\/]/g, '\\$&'); });
    var pattern = new RegExp('(?<![\\p{L}\\p{N}])(?:' + escaped.join('|') + ')(?![\\p{L}\\p{N}])', 'giu');
    var skipped = { SCRIPT: 1, STYLE: 1, NOSCRIPT: 1, TEXTAREA: 1, TITLE: 1, MARK: 1 };
    var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, {
        acceptNode: function (node) {
            var parent = node.parentElement;
            return parent && !skipped[parent.tagName] ? NodeFilter.FILTER_ACCEPT : NodeFilter.FILTER_REJECT;
        }
    });
    var nodes = [];
    for (var node = walker.nextNode(); node && Date.now() - started < args.budget; node = walker.nextNode())
        nodes.push(node);
    var made = 0;
    var first = null;
    for (var i = 0; i < nodes.length && made < args.limit && Date.now() - started < args.budget; ++i) {
        var text = nodes[i].nodeValue;
        pattern.lastIndex = 0;
        var found = pattern.exec(text);
        if (!found)
            continue;
        var pieces = document.createDocumentFragment();
        var from = 0;
        for (; found && made < args.limit; found = pattern.exec(text)) {
            pieces.appendChild(document.createTextNode(text.slice(from, found.index)));
            var mark = document.createElement('mark');
            mark.setAttribute('data-orvelle-hit', '');
            mark.setAttribute('style', 'background:#ffe066 !important;color:#000 !important;');
            mark.textContent = found[0];
            pieces.appendChild(mark);
            first = first || mark;
            from = found.index + found[0].length;
            ++made;
        }
        pieces.appendChild(document.createTextNode(text.slice(from)));
        nodes[i].parentNode.replaceChild(pieces, nodes[i]);
    }
    if (first)
        first.scrollIntoView({ block: 'center' });
    return made;
})
