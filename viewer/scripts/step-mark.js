// Makes the next of the marks mark-words.js made the current one (the previous one with
// args.backward; round at either end): drawn in a stronger colour and scrolled to the middle of
// the view. Evaluates to {active, total}, active counting from 1; {active: 0, total: 0} when
// the document has no marks.
//
// args: {backward}
(function (args) {
    var marks = document.querySelectorAll('mark[data-orvelle-hit]');
    var total = marks.length;
    if (!total)
        return { active: 0, total: 0 };
    var last = typeof window.orvelleCurrentMark === 'number' && window.orvelleCurrentMark < total
        ? window.orvelleCurrentMark : -1;
    var next;
    if (last < 0)
        next = args.backward ? total - 1 : 0;
    else
        next = (last + (args.backward ? total - 1 : 1)) % total;
    if (last >= 0)
        marks[last].style.setProperty('background', '#ffe066', 'important');
    marks[next].style.setProperty('background', '#ff9632', 'important');
    marks[next].scrollIntoView({ block: 'center' });
    window.orvelleCurrentMark = next;
    return { active: next + 1, total: total };
})
