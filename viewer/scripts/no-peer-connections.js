// Run in the document's own script world in every frame, before any of its scripts: takes away
// the peer-to-peer connection interfaces, which would reach out to any address the document
// names (ICE candidates, TURN servers) past every request check.
(function () {
    var names = ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel',
                 'RTCIceCandidate', 'RTCSessionDescription', 'RTCRtpSender', 'RTCRtpReceiver',
                 'RTCRtpTransceiver', 'RTCDtlsTransport', 'RTCIceTransport', 'RTCSctpTransport'];
    for (var i = 0; i < names.length; i++) {
        try {
            Object.defineProperty(window, names[i],
                                  {value: undefined, writable: false, configurable: false});
        } catch (e) {
        }
    }
})();
