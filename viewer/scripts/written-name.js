// {name, title} of the document written by the render args.render once all of it is in, else
// null.
//
// args: {render}
(function (args) {
    var written = window.__orvelleWritten;
    return written && written.render === args.render ? {name: written.name, title: written.title}
                                                     : null;
})
