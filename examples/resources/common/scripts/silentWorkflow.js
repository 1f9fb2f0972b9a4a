// silentWorkflow.js: the unattended installation that "Setup --mode=silent" runs, after
// utils.js, ContainerProxy.js and localization.js. It installs every payload of the session, or
// does for each payload what the deployment file given with "--deploymentFile=" says, and sets
// Setup's exit code:
//    0  done
//   20  another Setup holds the setup lock
//   21  the session, its properties, the command line or the deployment file cannot be used
//   22  the bootstrapper or a payload operation failed
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
            return 'error ' + answer._error;
        return answer.message ? 'result code ' + answer.message.code : 'no result';
    }

    // An operation started with the wait flag: it ran when it started and ended with success.
    function ran(answer) {
        return !utils.isError(answer) && answer.message !== undefined && utils.isSuccessCode(answer.message.code);
    }

    if (utils.isError(setup.call('AcquireSetupLock')))
        return finish(EXIT_LOCKED, 'Another Setup is running.');

    var session = setup.call('GetSessionData');
    var defaults = setup.call('GetDefaultProperties');
    var commandLine = setup.call('GetCommandLineArguments');
    var tokens = setup.call('GetDirectoryTokenMap');
    if (utils.isError(session) || utils.isError(defaults) || utils.isError(commandLine) || utils.isError(tokens))
        return finish(EXIT_BAD_INPUT, 'Unable to read the session, its properties or the command line.');

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
                return finish(EXIT_BAD_INPUT, 'Unknown action "' + entry.action + '" for ' + entry.orvexCode);
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

    var installing = false, removed = 0;
    for (var n = 0; n < codes.length; n++) {
        installing = installing || requested[codes[n]] === 'install';
        removed += requested[codes[n]] === 'remove' ? 1 : 0;
    }

    // Installed payloads are recorded in the session's collection, which the bootstrapper makes.
    // It logs into the session's log, as does its removal below.
    var logProperties = utils.sessionLogProperties(session);
    if (installing) {
        var bootstrapper = utils.merge(utils.merge({}, properties), logProperties);
        bootstrapper.INSTALLDIR = utils.joinPath(utils.joinPath(tokens['[OrvexCommon]'], 'Installers'), session.key);
        log(4, 'Installing the bootstrapper into ' + bootstrapper.INSTALLDIR);
        var boot = setup.call('InstallBootstrapper', 'install', utils.bencode(bootstrapper), 1);
        if (!ran(boot))
            return finish(EXIT_FAILED, 'The bootstrapper was not installed: ' + outcome(boot));
        var stored = setup.call('StoreCollectionProperties', session.key, utils.bencode(properties), 1);
        if (utils.isError(stored))
            return finish(EXIT_FAILED, 'The install properties were not stored: ' + outcome(stored));
    }

    for (var k = 0; k < codes.length; k++) {
        var description = session.payloadMap[codes[k]];
        var action = requested[codes[k]];
        var payloadProperties = utils.merge({}, properties);
        payloadProperties.INSTALLDIR = utils.payloadInstallFolder(description, properties, tokens);
        var installsFiles = description.INSTALLDIR && description.INSTALLDIR['default'];
        log(4, action + ' ' + description.ProductName + ' ' + description.ProductVersion + ' ' + codes[k] +
                   (action === 'install' && installsFiles ? ' into ' + payloadProperties.INSTALLDIR : ''));
        var answer = setup.call('InstallPayload', codes[k], action, utils.bencode(payloadProperties), 1);
        if (!ran(answer))
            return finish(EXIT_FAILED, action + ' of ' + codes[k] + ' failed: ' + outcome(answer));
    }

    // Once every payload of the session is gone, its copy of Setup goes too.
    var sessionPayloads = 0;
    for (var member in session.payloadMap) {
        if (session.payloadMap.hasOwnProperty(member))
            sessionPayloads++;
    }
    if (removed === sessionPayloads) {
        var unboot = setup.call('InstallBootstrapper', 'remove',
                                utils.bencode(utils.merge({ sessionID: session.key }, logProperties)), 1);
        if (!ran(unboot))
            return finish(EXIT_FAILED, 'The bootstrapper was not removed: ' + outcome(unboot));
    }
    return finish(EXIT_DONE, 'Done.');
})();
