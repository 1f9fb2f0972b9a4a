
// Closes a payload's conditions script (the line break above ends a last line without one).
(function () {
    var names = [];
    for (var name in QENConditions)
        names.push(name + '=' + QENConditions[name]);
    QENLogMessage(0, 'Payload conditions: ' + (names.length ? names.join(', ') : 'none'));
})();
