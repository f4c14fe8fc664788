// Moves to an anchor inside the shown document, as an in-document link that was let through
// means: the address's fragment changes and the view scrolls to the element it names.
//
// args: {fragment} - the fragment, percent-encoded as in the link's address
(function (args) {
    location.hash = args.fragment;
})
