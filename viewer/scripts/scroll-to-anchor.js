// Scrolls the first element whose id or name is args.anchor to the top of the view.
// Evaluates to true, or to false when no element bears that name.
//
// args: {anchor}
(function (args) {
    var anchor = args.anchor;
    if (!anchor)
        return false;
    var d = document;
    var byId = d.getElementById(anchor);
    var byName = d.getElementsByName(anchor)[0] || null;
    var element = byId;
    if (byId && byName && (byId.compareDocumentPosition(byName) & Node.DOCUMENT_POSITION_PRECEDING))
        element = byName;
    element = element || byName;
    if (!element)
        return false;
    element.scrollIntoView(true);
    return true;
})
