// Page behaviour shared by the desk and the room.
(function () {
  "use strict";
  var page = document.body.dataset.page;

  // Tells the server when the page has really finished loading.
  window.addEventListener("load", function () {
    fetch("/api/beacon?page=" + encodeURIComponent(page), { cache: "no-store" })
      .catch(function () {});
  });

  var button = document.getElementById("mic-button");
  var status = document.getElementById("mic-status");
  if (!button || !status) {
    return;
  }

  function show(outcome, text) {
    status.dataset.outcome = outcome;
    status.textContent = text;
  }

  button.addEventListener("click", function () {
    if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) {
      show("unavailable", "This view offers no microphone access.");
      return;
    }
    button.disabled = true;
    show("asking", "Asking for the microphone…");
    navigator.mediaDevices.getUserMedia({ audio: true })
      .then(function (stream) {
        var track = stream.getAudioTracks()[0];
        show("granted", "Microphone allowed" + (track && track.label ? ": " + track.label : "."));
        stream.getTracks().forEach(function (t) { t.stop(); });
      })
      .catch(function (error) {
        show("denied", "Microphone refused: " + (error && error.name ? error.name : String(error)) + ".");
      })
      .finally(function () { button.disabled = false; });
  });
})();
