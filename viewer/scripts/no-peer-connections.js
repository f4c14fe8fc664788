// Run in the document's own script world in every frame, before any of its scripts: takes away
// the peer-to-peer connection interfaces, which would reach out to any address the document
// names (ICE candidates, TURN servers) past every request check.
//
// A frame's first, empty document gets no scripts of the program's own, so its window is
// stripped too whenever the document reaches it: through a frame element, through
// window.open(), and after every DOM insertion (for window[i]).
(function () {
    var names = ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel',
                 'RTCIceCandidate', 'RTCSessionDescription', 'RTCRtpSender', 'RTCRtpReceiver',
                 'RTCRtpTransceiver', 'RTCDtlsTransport', 'RTCIceTransport', 'RTCSctpTransport'];
    var guarded = new WeakSet();

    function wrapGetter(proto, name, after) {
        var d = proto && Object.getOwnPropertyDescriptor(proto, name);
        if (!d || !d.get)
            return;
        var get = d.get;
        Object.defineProperty(proto, name, {
            get: function () { var v = get.call(this); after(v); return v; },
            set: d.set, enumerable: d.enumerable, configurable: false
        });
    }

    function wrapMethod(owner, name, after) {
        var f = owner && owner[name];
        if (typeof f !== 'function')
            return;
        Object.defineProperty(owner, name, {
            value: function () { var v = f.apply(this, arguments); after(v); return v; },
            writable: false, enumerable: false, configurable: false
        });
    }

    function guardFrames(w) {
        try {
            for (var i = 0; i < w.length; i++)
                guard(w[i]);
        } catch (e) {
        }
    }

    function guard(w) {
        try {
            if (!w || guarded.has(w) || !w.Object)
                return;
            guarded.add(w);
            for (var i = 0; i < names.length; i++)
                Object.defineProperty(w, names[i],
                                      {value: undefined, writable: false, configurable: false});
            var frameTypes = ['HTMLIFrameElement', 'HTMLFrameElement', 'HTMLObjectElement'];
            for (var k = 0; k < frameTypes.length; k++) {
                var type = w[frameTypes[k]];
                if (!type)
                    continue;
                wrapGetter(type.prototype, 'contentWindow', guard);
                wrapGetter(type.prototype, 'contentDocument',
                           function (d) { if (d) guard(d.defaultView); });
            }
            wrapMethod(w, 'open', guard);
            var after = function () { guardFrames(w); };
            var nodeMethods = ['appendChild', 'insertBefore', 'replaceChild'];
            for (var n = 0; n < nodeMethods.length; n++)
                wrapMethod(w.Node.prototype, nodeMethods[n], after);
            var elementMethods = ['append', 'prepend', 'after', 'before', 'replaceWith',
                                  'replaceChildren', 'insertAdjacentElement',
                                  'insertAdjacentHTML'];
            for (var m = 0; m < elementMethods.length; m++)
                wrapMethod(w.Element.prototype, elementMethods[m], after);
            wrapMethod(w.Document.prototype, 'write', after);
            wrapMethod(w.Document.prototype, 'writeln', after);
            wrapMethod(w.Range.prototype, 'insertNode', after);
            var markup = ['innerHTML', 'outerHTML'];
            for (var p = 0; p < markup.length; p++) {
                var d = Object.getOwnPropertyDescriptor(w.Element.prototype, markup[p]);
                if (d && d.set) {
                    (function (set) {
                        d.set = function (v) { set.call(this, v); guardFrames(w); };
                    })(d.set);
                    d.configurable = false;
                    Object.defineProperty(w.Element.prototype, markup[p], d);
                }
            }
            guardFrames(w);
        } catch (e) {
            // a window of another origin: its own document creation strips it
        }
    }

    guard(window);
})();
