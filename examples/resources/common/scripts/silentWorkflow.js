// silentWorkflow.js: the unattended installation that "Setup --mode=silent" runs, after
// utils.js, ContainerProxy.js and localization.js. It installs every payload of the session, or
// does for each payload what the deployment file given with "--deploymentFile=" says, and sets
// Setup's exit code:
//    0  done
//   20  another Setup holds the setup lock
//   21  the session, its properties, the command line or the deployment file cannot be used
//   22  the bootstrapper or a payload operation failed, or Setup lacks the administrator rights
//       they need
// A run is all or nothing: one that fails takes back what it installed, newest first, the
// bootstrapper too when this run made the suite's collection (as the wizard's cancel does). A
// payload to be removed that is not installed counts as removed, and once no payload of the suite
// is left installed a run that removes takes the bootstrapper away too, so a removal that stopped
// halfway is finished by running it again.
// Properties come from the session's defaults, then the deployment file, then the command line
// ("--INSTALLDIR=...", "--installLanguage=..."), the later winning.
(function () {
    var EXIT_DONE = 0, EXIT_LOCKED = 20, EXIT_BAD_INPUT = 21, EXIT_FAILED = 22;
    // Arguments that steer Setup itself rather than the installation.
    var SETUP_ARGUMENTS = { mode: true, installerParent: true };
    var setup = new ContainerProxy();

    function log(level, text) {
        setup.call('Log', level, 'silentWorkflow: ' + text);
    }

    function finish(code, text) {
        if (text)
            log(code === EXIT_DONE ? 4 : 2, text);
        setup.call('SetWorkflowExitCode', code);
        return code;
    }

    function outcome(answer) {
        if (utils.isError(answer))
            return answer.needsAdministratorRights ? 'Setup needs administrator rights to install, repair or remove ' +
                    'payloads: run it as root' :
                                                     'error ' + answer._error;
        return answer.message ? 'result code ' + answer.message.code : 'no result';
    }

    // An operation started with the wait flag: it ran when it started and ended with success.
    function ran(answer) {
        return !utils.isError(answer) && answer.message !== undefined && utils.isSuccessCode(answer.message.code);
    }

    var lock = setup.call('AcquireSetupLock');
    if (utils.isError(lock)) {
        // The lock of a Setup run as root is out of reach of other users, whether or not a Setup
        // runs: waiting for it would be waiting for good.
        if (lock.needsAdministratorRights)
            return finish(EXIT_FAILED, 'Setup needs administrator rights to install, repair or remove payloads: ' +
                                       'run it as root.');
        return finish(EXIT_LOCKED, 'Another Setup is running.');
    }

    var session = setup.call('GetSessionData');
    var defaults = setup.call('GetDefaultProperties');
    var tokens = setup.call('GetDirectoryTokenMap');
    if (utils.isError(session) || utils.isError(defaults) || utils.isError(tokens))
        return finish(EXIT_BAD_INPUT, 'Unable to read the session or its properties.');
    var commandLine = setup.call('GetCommandLineArguments');
    if (utils.isError(commandLine))
        return finish(EXIT_BAD_INPUT, 'Unable to read the command line or the deployment file.');

    var deployment = commandLine.DeploymentData;
    var properties = utils.merge({}, defaults);
    if (deployment)
        utils.merge(properties, deployment.Properties);
    for (var argument in commandLine.Properties) {
        if (commandLine.Properties.hasOwnProperty(argument) && !SETUP_ARGUMENTS[argument])
            properties[argument] = commandLine.Properties[argument];
    }
    var driver = session.payloadMap[session.driverPayloadID];
    properties.installLanguage =
        localization.chooseLanguage(driver, properties.installLanguage, properties.defaultLanguage);
    if (session.driverPayloadID)
        properties.driverOrvexCode = session.driverPayloadID;

    // A payload as its product name and version, with its code.
    function named(code) {
        var description = session.payloadMap[code];
        return description.ProductName + ' ' + description.ProductVersion + ' (' + code + ')';
    }

    // What to do, payload by payload: the driver payload is installed after the payloads it may
    // need and removed before them.
    var requested = {};
    var codes;
    if (deployment) {
        var entries = deployment.PayloadActions || [];
        for (var i = 0; i < entries.length; i++) {
            var entry = entries[i];
            if (!session.payloadMap.hasOwnProperty(entry.orvexCode))
                return finish(EXIT_BAD_INPUT, 'The deployment file names another session\'s payload ' + entry.orvexCode);
            if (entry.action !== 'install' && entry.action !== 'repair' && entry.action !== 'remove')
                return finish(EXIT_BAD_INPUT, 'Unknown action "' + entry.action + '" for ' + named(entry.orvexCode));
            requested[entry.orvexCode] = entry.action;
        }
    } else {
        for (var code in session.payloadMap) {
            if (session.payloadMap.hasOwnProperty(code))
                requested[code] = 'install';
        }
    }
    codes = utils.operationOrder(session, requested);
    if (codes.length === 0)
        return finish(EXIT_BAD_INPUT, 'There is nothing to do.');

    var installing = false, removing = false, removed = 0;
    for (var n = 0; n < codes.length; n++) {
        installing = installing || requested[codes[n]] === 'install';
        removing = removing || requested[codes[n]] === 'remove';
        removed += requested[codes[n]] === 'remove' ? 1 : 0;
    }

    // The suite's collection as the installation database has it: whether it exists and which
    // payloads it holds as installed. Null when the database cannot be read (the operations then
    // say why).
    function suiteState() {
        var caps = setup.call('GetCAPS');
        if (utils.isError(caps))
            return null;
        return { collection: !!caps.Collections && caps.Collections.hasOwnProperty(session.key),
                 installed: utils.installedPayloads(caps, session.key) };
    }
    var before = suiteState();

    // Installed payloads are recorded in the session's collection, which the bootstrapper makes.
    // It logs into the session's log, as does its removal below.
    var logProperties = utils.sessionLogProperties(session);
    function removeBootstrapper() {
        return setup.call('InstallBootstrapper', 'remove',
                          utils.bencode(utils.merge({ sessionID: session.key }, logProperties)), 1);
    }

    function operationProperties(code) {
        var payloadProperties = utils.merge({}, properties);
        payloadProperties.INSTALLDIR = utils.payloadInstallFolder(session.payloadMap[code], properties, tokens);
        return payloadProperties;
    }

    // What this run installed, oldest first: the bootstrapper as null, payloads by code.
    var installedHere = [];

    // Takes back what this run installed, newest first. Empty when all of it went, else what stays.
    function takeBack() {
        for (var i = installedHere.length - 1; i >= 0; i--) {
            var code = installedHere[i];
            log(4, 'taking back ' + (code ? named(code) : 'the bootstrapper'));
            var answer = code ? setup.call('InstallPayload', code, 'remove', utils.bencode(operationProperties(code)), 1)
                              : removeBootstrapper();
            if (!ran(answer)) {
                var left = [];
                for (var j = i; j >= 0; j--)
                    left.push(installedHere[j] ? named(installedHere[j]) : 'the bootstrapper');
                return 'taking back what this run installed failed (' + outcome(answer) + '); still installed: ' +
                       left.join(', ') + '.';
            }
        }
        return '';
    }

    function fail(text) {
        if (installedHere.length > 0) {
            log(3, text + '; taking back what this run installed');
            var left = takeBack();
            text += '; ' + (left || 'what this run installed was taken back.');
        }
        return finish(EXIT_FAILED, text);
    }

    if (installing) {
        var bootstrapper = utils.merge(utils.merge({}, properties), logProperties);
        bootstrapper.INSTALLDIR = utils.joinPath(utils.joinPath(tokens['[OrvexCommon]'], 'Installers'), session.key);
        log(4, 'Installing the bootstrapper into ' + bootstrapper.INSTALLDIR);
        var boot = setup.call('InstallBootstrapper', 'install', utils.bencode(bootstrapper), 1);
        if (!ran(boot))
            return fail('The bootstrapper was not installed: ' + outcome(boot));
        if (!before || !before.collection)
            installedHere.push(null);
        var stored = setup.call('StoreCollectionProperties', session.key, utils.bencode(properties), 1);
        if (utils.isError(stored))
            return fail('The install properties were not stored: ' + outcome(stored));
    }

    for (var k = 0; k < codes.length; k++) {
        var description = session.payloadMap[codes[k]];
        var action = requested[codes[k]];
        if (action === 'remove' && before && !before.installed[codes[k]]) {
            log(4, 'remove ' + named(codes[k]) + ': not installed, nothing to remove');
            continue;
        }
        var payloadProperties = operationProperties(codes[k]);
        var installsFiles = description.INSTALLDIR && description.INSTALLDIR['default'];
        log(4, action + ' ' + description.ProductName + ' ' + description.ProductVersion + ' ' + codes[k] +
                   (action === 'install' && installsFiles ? ' into ' + payloadProperties.INSTALLDIR : ''));
        var answer = setup.call('InstallPayload', codes[k], action, utils.bencode(payloadProperties), 1);
        if (!ran(answer))
            return fail(action + ' of ' + named(codes[k]) + ' failed: ' + outcome(answer));
        if (action === 'install' && !(before && before.installed[codes[k]]))
            installedHere.push(codes[k]);
    }

    // Once no payload of the session is left installed, its copy of Setup goes too. Without the
    // database's word, only a removal of every payload says so.
    if (removing) {
        var after = suiteState();
        var unused = after ? after.collection && utils.keys(after.installed).length === 0
                           : removed === utils.keys(session.payloadMap).length;
        if (unused) {
            var unboot = removeBootstrapper();
            if (!ran(unboot))
                return finish(EXIT_FAILED, 'The bootstrapper was not removed: ' + outcome(unboot));
        }
    }
    return finish(EXIT_DONE, 'Done.');
})();
