// Support functions of command payload scripts. The command engine evaluates this file first in
// every install, repair and uninstall run; the payload's scripts and stored uninstall scripts run
// between PayloadPrefix and PayloadSuffix, and the run ends with InstallSuffix, RepairSuffix or
// UninstallSuffix (which also ends the removal of upgraded payloads).

var QENPayload = { identifier: '', mode: '' };

// identifier: the payload code (or the session key); mode: "install", "repair" or "remove".
function PayloadPrefix(identifier, mode) {
    QENPayload.identifier = identifier;
    QENPayload.mode = mode;
    QENLogMessage(1, 'Processing payload ' + identifier + ' (' + mode + ')');
}

function PayloadSuffix() {
    QENLogMessage(1, 'Processed payload ' + QENPayload.identifier + ' (' + QENPayload.mode + ')');
}

// An installed payload must be removable: what its instructions recorded is saved as its
// uninstall script, and the install fails when that cannot be done.
function InstallSuffix() {
    if (!QENSaveUninstallScript())
        throw new Error('Unable to save the uninstall script of payload ' + QENPayload.identifier);
}

function RepairSuffix() {
    QENLogMessage(0, 'Repair of payload ' + QENPayload.identifier + ' finished');
}

function UninstallSuffix() {
    QENLogMessage(0, 'Removal finished');
}

// Progress of a stored uninstall script: done of total entries.
function SetFractionComplete(done, total) {
    QENSetFractionComplete(done, total);
}
