// wizard.js: the example's wizard, over the payload session of the medium beside Setup. It installs
// the suite (welcome, licence, destination, summary, progress, finish) or, when the suite is
// installed already, repairs or removes it; each can be cancelled while it runs. Everything goes
// through Setup's published methods (data access, mutation access, window calls), after utils.js,
// ContainerProxy.js and localization.js.
//
// Every way of quitting before the end (the Quit or Cancel button, the window's close box) asks
// the same question and ends with 23.
//
// Exit codes, set before the wizard ends:
//    0  done
//   20  another Setup holds the setup lock
//   21  the session or the medium cannot be used (also a medium without payloads)
//   22  an operation failed
//   23  the user cancelled, declined the licence or quit before the end
var EXIT_DONE = 0, EXIT_LOCKED = 20, EXIT_BAD_INPUT = 21, EXIT_FAILED = 22, EXIT_CANCELLED = 23;
var POLL_MILLISECONDS = 150;

var wizard = {
    setup: null,
    session: null,
    driver: null,
    properties: null,
    tokens: null,
    installed: {},      // payload codes installed in the suite's collection
    mode: 'install',    // 'install', or 'maintain' when the suite is installed
    language: 'en_US',
    accepted: false,
    parent: '',         // the folder that receives the driver payload's folder
    folderProblem: '',
    page: null,
    exitCode: EXIT_CANCELLED,
    run: null,          // the operations being carried out (see runSteps)
    bar: 0              // the share of the progress bar shown now, 0 to 1
};

function escapeHtml(text) {
    return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/"/g, '&quot;');
}

// A path that wraps, where it must, after a slash rather than inside a name.
function pathHtml(path) {
    var names = String(path).split('/');
    for (var i = 0; i < names.length; i++)
        names[i] = names[i] === '' ? '' : '<span class="name">' + escapeHtml(names[i]) + '</span>';
    return names.join('/<wbr>');
}

// A size as people read it: KB, MB or GB, whichever fits.
function sizeText(bytes) {
    var kilo = 1024, mega = kilo * 1024, giga = mega * 1024;
    if (bytes < mega)
        return Math.ceil(bytes / kilo) + ' KB';
    if (bytes < giga)
        return (bytes / mega).toFixed(1) + ' MB';
    return (bytes / giga).toFixed(1) + ' GB';
}

function call() {
    return wizard.setup.call.apply(wizard.setup, arguments);
}

function productName(code) {
    var description = wizard.session.payloadMap[code];
    return description.ProductName + ' ' + description.ProductVersion;
}

function suiteName() {
    return wizard.driver ? wizard.driver.ProductName : 'the suite';
}

function sessionCodes() {
    var codes = [];
    for (var code in wizard.session.payloadMap) {
        if (wizard.session.payloadMap.hasOwnProperty(code))
            codes.push(code);
    }
    return codes;
}

// The payloads an install puts in, in the order it does so; the welcome and the summary list them
// so.
function installCodes() {
    return utils.operationOrder(wizard.session, actionsFor('install'));
}

// ---- Pages. Each is an object with the page's HTML, its buttons and what they do.

var pages = {
    message: function (title, text, exitCode) {
        wizard.exitCode = exitCode;
        return { title: title, body: '<p>' + text + '</p>', next: 'Quit', onNext: finish, noBack: true, noQuit: true };
    },

    welcome: function () {
        var items = '';
        var codes = installCodes();
        for (var i = 0; i < codes.length; i++)
            items += '<li>' + escapeHtml(productName(codes[i])) + '</li>';
        return {
            title: 'Welcome to ' + escapeHtml(productName(wizard.session.driverPayloadID)) + ' Setup',
            body: '<p>This assistant installs ' + escapeHtml(suiteName()) + ' with these parts:</p><ul>' + items +
                  '</ul><p>Click Next to continue.</p>',
            noBack: true,
            onNext: function () { show(wizard.eula ? 'licence' : 'destination'); }
        };
    },

    licence: function () {
        return {
            title: 'Licence agreement',
            body: '<div id="eula">' + escapeHtml(wizard.eula) + '</div>' +
                  '<p><label><input type="radio" name="accept" id="accept" onclick="acceptLicence(true)"' +
                  (wizard.accepted ? ' checked' : '') + '> I accept the licence agreement</label><br>' +
                  '<label><input type="radio" name="accept" id="decline" onclick="acceptLicence(false)"' +
                  (wizard.accepted ? '' : ' checked') + '> I do not accept it</label></p>',
            nextDisabled: !wizard.accepted,
            onBack: function () { show('welcome'); },
            onNext: function () { show('destination'); }
        };
    },

    destination: function () {
        var target = utils.joinPath(wizard.parent, wizard.driver.INSTALLDIR.folderName);
        return {
            title: 'Destination',
            body: '<p>' + escapeHtml(suiteName()) + ' will be installed in:</p>' +
                  '<p id="folder">' + pathHtml(target) + '</p>' +
                  '<p><button id="choose" onclick="chooseFolder()">Choose...</button></p>' +
                  '<p id="space">' + escapeHtml(wizard.space || '') + '</p>' +
                  (wizard.folderProblem ? '<p id="problem" class="problem">' + escapeHtml(wizard.folderProblem) + '</p>' : ''),
            nextDisabled: wizard.folderProblem !== '',
            onBack: function () { show(wizard.eula ? 'licence' : 'welcome'); },
            onNext: function () { show('summary'); }
        };
    },

    summary: function () {
        var rows = '';
        var codes = installCodes();
        for (var i = 0; i < codes.length; i++) {
            var description = wizard.session.payloadMap[codes[i]];
            var folder = installsFiles(description) ? pathHtml(installFolder(codes[i])) : 'runs its own installer';
            rows += '<tr><td>' + escapeHtml(productName(codes[i])) + '</td><td>' + folder + '</td></tr>';
        }
        return {
            title: 'Ready to install',
            body: '<p>Setup installs:</p><table id="summary">' + rows + '</table><p>Click Install to begin.</p>',
            next: 'Install',
            onBack: function () { show('destination'); },
            onNext: install
        };
    },

    maintenance: function () {
        return {
            title: escapeHtml(productName(wizard.session.driverPayloadID)) + ' is installed',
            body: '<p>What should Setup do?</p>' +
                  '<p><label><input type="radio" name="task" id="repair" checked> Repair: put back what is ' +
                  'missing or damaged</label><br><label><input type="radio" name="task" id="remove"> Remove ' +
                  escapeHtml(suiteName()) + ' and all its parts</label></p>',
            noBack: true,
            onNext: function () { document.getElementById('remove').checked ? remove() : repair(); }
        };
    },

    progress: function () {
        return {
            title: wizard.run.title,
            body: '<div id="bar"><div id="done"></div></div><p id="status"></p>' +
                  '<div id="confirm" class="hidden"><p>' + wizard.run.stopQuestion + '</p>' +
                  '<p><button id="stop" onclick="stopRun()">Stop</button> ' +
                  '<button id="goon" onclick="hideConfirm()">Continue</button></p></div>',
            noBack: true,
            noNext: true,
            quit: wizard.run.cancellable ? 'Cancel' : null,
            onQuit: wizard.run.cancellable ? askToStop : null
        };
    },

    finished: function () {
        return { title: wizard.run.outcomeTitle, body: wizard.run.outcome, next: 'Finish', onNext: finish,
                 noBack: true, noQuit: true };
    }
};

function show(name) {
    wizard.page = name;
    var page = pages[name]();
    wizard.current = page;
    document.getElementById('title').innerHTML = page.title;
    document.getElementById('page').innerHTML = page.body;
    document.body.setAttribute('data-page', name);
    var back = document.getElementById('back'), next = document.getElementById('next');
    var quit = document.getElementById('quit');
    back.style.display = page.noBack ? 'none' : '';
    next.style.display = page.noNext ? 'none' : '';
    next.textContent = page.next || 'Next';
    next.disabled = !!page.nextDisabled;
    quit.style.display = page.noQuit || (page.quit === null) ? 'none' : '';
    quit.textContent = page.quit || 'Quit';
}

function message(title, text, exitCode) {
    pages.current = function () { return pages.message(title, text, exitCode); };
    show('current');
}

function next() {
    if (wizard.current.onNext && !document.getElementById('next').disabled)
        wizard.current.onNext();
}

function back() {
    if (wizard.current.onBack)
        wizard.current.onBack();
}

function quit() {
    if (wizard.current.onQuit) {
        wizard.current.onQuit();
        return;
    }
    var answer = call(
        'UIShowModalAlert',
        '<html><body style="font-family: sans-serif; padding: 16px">' +
            '<p>Setup has not finished. Quit anyway?</p>' +
            '<p style="text-align: right"><button onclick="DQEN.UIExitDialog(\'stay\')">Continue</button> ' +
            '<button onclick="DQEN.UIExitDialog(\'quit\')">Quit</button></p>' +
            '<script>function DQENOnLoad() { DQEN.UIResizeWindow(\'360\', \'140\'); ' +
            'DQEN.UISetWindowTitle(\'Quit Setup\'); }\n' +
            // The alert's close box and Escape answer as its Continue button.
            'function DQENOnClose() { DQEN.UIExitDialog(\'stay\'); }<\/script></body></html>');
    if (!utils.isError(answer) && answer.returnValue === 'quit') {
        wizard.exitCode = EXIT_CANCELLED;
        finish();
    }
}

// The window's close box, as Setup hands it over (onFrameLoad.js): what the page's Quit or Cancel
// button does; on a page with one button only (the end, a message) what that button does. While
// a run is being stopped there is nothing to ask.
function DQENOnClose() {
    var page = wizard.current;
    if (!page) {
        wizard.exitCode = EXIT_CANCELLED;
        finish();
    } else if (page.noQuit) {
        page.onNext();
    } else if (document.getElementById('quit').style.display !== 'none') {
        quit();
    }
}

function finish() {
    call('SetWorkflowExitCode', wizard.exitCode);
    call('UIExitDialog', wizard.exitCode === EXIT_DONE ? 'finished' : 'ended');
}

// (Not "accept": inline handlers of an input would find its attribute of that name first.)
function acceptLicence(accepted) {
    wizard.accepted = accepted;
    document.getElementById('next').disabled = !accepted;
}

// ---- The destination.

function installsFiles(description) {
    return description.INSTALLDIR && description.INSTALLDIR['default'];
}

function installFolder(code) {
    var properties = utils.merge({}, wizard.properties);
    properties.INSTALLDIR = utils.joinPath(wizard.parent, wizard.driver.INSTALLDIR.folderName);
    return utils.payloadInstallFolder(wizard.session.payloadMap[code], properties, wizard.tokens);
}

// The space the payloads that go into the chosen folder need, from their destination data.
function neededBytes() {
    var bytes = 0, codes = sessionCodes();
    for (var i = 0; i < codes.length; i++) {
        var description = wizard.session.payloadMap[codes[i]];
        if (!installsFiles(description) || description.INSTALLDIR.isFixed === '1')
            continue;
        var destinations = description.InstallDestinationData || [];
        for (var j = 0; j < destinations.length; j++)
            bytes += Number(destinations[j].totalSize) || 0;
    }
    return bytes;
}

// Checks the chosen folder: a valid path to an existing, writable folder with room enough.
function checkFolder() {
    wizard.space = '';
    var info = call('GetPathInformation', wizard.parent);
    if (utils.isError(info) || info.isValidPath !== '1')
        return 'This is not a folder path Setup can use.';
    if (info.pathExists !== '1')
        return 'The folder does not exist.';
    if (!info.volumeInfo || info.volumeInfo.isWritable !== '1')
        return 'The volume of this folder cannot be written to.';
    var volume = call('GetVolumeStatisticsFromPath', wizard.parent);
    if (utils.isError(volume))
        return 'Setup cannot tell how much space the volume of this folder has.';
    var needed = neededBytes(), free = Number(volume.freeSize);
    wizard.space = 'Free on ' + volume.friendlyName + ': ' + sizeText(free) + '; needed: ' + sizeText(needed) + '.';
    if (free < needed)
        return 'There is not enough free space on this volume.';
    return '';
}

function chooseFolder() {
    var answer = call('UISelectInstallLocation', wizard.parent, 'Destination',
                      'Choose the folder in which to install ' + suiteName() + '.');
    if (utils.isError(answer) || !answer.path)
        return;
    wizard.parent = answer.path;
    wizard.folderProblem = checkFolder();
    show('destination');
}

// ---- Operations: each step starts one operation without waiting; the page polls its status.

// An install goes where the destination page said; a repair or removal takes what the install
// stored with the payload.
function payloadProperties(code, action) {
    var properties = utils.merge({}, wizard.properties);
    if (action === 'install')
        properties.INSTALLDIR = installFolder(code);
    return utils.bencode(properties);
}

function payloadStep(code, action) {
    var verbs = { install: 'Installing', repair: 'Repairing', remove: 'Removing' };
    return {
        label: verbs[action] + ' ' + productName(code),
        code: code,
        action: action,
        start: function () { return call('InstallPayload', code, action, payloadProperties(code, action)); }
    };
}

function bootstrapperStep(action) {
    return {
        label: action === 'install' ? 'Preparing the installation' : 'Removing the suite\'s record',
        bootstrapper: action,
        start: function () {
            var properties = action === 'install' ? utils.merge({}, wizard.properties) : { sessionID: wizard.session.key };
            utils.merge(properties, utils.sessionLogProperties(wizard.session));
            if (action === 'install')
                properties.INSTALLDIR = utils.joinPath(utils.joinPath(wizard.tokens['[OrvexCommon]'], 'Installers'),
                                                       wizard.session.key);
            return call('InstallBootstrapper', action, utils.bencode(properties));
        }
    };
}

function actionsFor(action) {
    var actions = {}, codes = sessionCodes();
    for (var i = 0; i < codes.length; i++) {
        if (action === 'install' || wizard.installed[codes[i]])
            actions[codes[i]] = action;
    }
    return actions;
}

function stepsFor(action) {
    var steps = [], codes = utils.operationOrder(wizard.session, actionsFor(action));
    if (action === 'install')
        steps.push(bootstrapperStep('install'));
    for (var i = 0; i < codes.length; i++)
        steps.push(payloadStep(codes[i], action));
    if (action === 'remove')
        steps.push(bootstrapperStep('remove'));
    return steps;
}

// Each run can be cancelled: an install takes back everything it installed; a repair or removal
// undoes the part it is working on, and what it finished before stays done.
function install() {
    wizard.properties.INSTALLDIR = utils.joinPath(wizard.parent, wizard.driver.INSTALLDIR.folderName);
    runSteps({ title: 'Installing ' + escapeHtml(suiteName()), stopTitle: 'Cancelling the installation',
               stopQuestion: 'Stop now? Whatever Setup has installed so far is removed again.',
               steps: stepsFor('install'), cancellable: true, done: 'installed' });
}

function repair() {
    runSteps({ title: 'Repairing ' + escapeHtml(suiteName()), stopTitle: 'Cancelling the repair',
               stopQuestion: 'Stop now? What Setup has put back of the part it is repairing is undone; the parts ' +
                             'it has repaired already stay repaired.',
               steps: stepsFor('repair'), cancellable: true, done: 'repaired' });
}

function remove() {
    runSteps({ title: 'Removing ' + escapeHtml(suiteName()), stopTitle: 'Cancelling the removal',
               stopQuestion: 'Stop now? The part Setup is removing stays installed; the parts it has removed ' +
                             'already stay removed.',
               steps: stepsFor('remove'), cancellable: true, done: 'removed' });
}

function runSteps(run) {
    run.index = 0;
    run.completed = [];
    run.stopping = false;
    wizard.run = run;
    show('progress');
    startStep();
}

// The bar shows how far the run has got; while a run takes back what an install did it shrinks
// from where the install stopped.
function setStatus(text, runFraction) {
    var run = wizard.run;
    var fraction = Math.min(1, Math.max(0, runFraction));
    wizard.bar = run.undoing ? run.barFrom * (1 - fraction) : fraction;
    document.getElementById('status').textContent = text;
    document.getElementById('done').style.width = Math.round(100 * wizard.bar) + '%';
}

function setTitle(html) {
    document.getElementById('title').innerHTML = html;
}

function startStep() {
    var run = wizard.run;
    // A run asked to stop starts nothing more (the request reached only the operation it was
    // posted to).
    if (run.index >= run.steps.length || (run.stopping && !run.undoing)) {
        ended(run.stopping ? 'stopped' : 'done');
        return;
    }
    var step = run.steps[run.index];
    setStatus(step.label + '...', run.index / run.steps.length);
    var started = step.start();
    if (utils.isError(started)) {
        run.failure = step.label +
            (started.needsAdministratorRights ?
                 ' failed: Setup needs administrator rights to install, repair or remove payloads. Run Setup as root.' :
                 ' could not start (error ' + started._error + ').');
        run.sessionLog = started.sessionLog;
        ended('failed');
        return;
    }
    setTimeout(pollStep, POLL_MILLISECONDS);
}

// One look at the running operation: its progress, a question it asks, or its end.
function pollStep() {
    var run = wizard.run, step = run.steps[run.index];
    var question = call('PeekInstallThreadMessage');
    if (!utils.isError(question) && question.messageID) {
        // The only question an operation asks is whether to stop after a cancel request.
        var yes = run.stopping && question.data.statusCode === '0';
        call('PostInstallThreadMessageResult', question.messageID, yes ? 1 : 2);
    }
    var status = call('GetInstallStatus');
    if (utils.isError(status)) {
        run.failure = step.label + ': Setup cannot tell how it went.';
        ended('failed');
        return;
    }
    if (status.isRunning === '1') {
        if (!run.stopping || run.undoing)
            setStatus(step.label + '... ' + status.percentComplete + '%',
                      (run.index + Number(status.percentComplete) / 100) / run.steps.length);
        setTimeout(pollStep, POLL_MILLISECONDS);
        return;
    }
    var code = status.message.code;
    if (utils.isSuccessCode(code)) {
        step.putBack = putBackFiles(status.message.args);
        afterStep(step);
        run.completed.push(step);
        run.index++;
        startStep();
    } else if (run.stopping && !run.undoing && code === '1') {
        ended('stopped');
    } else {
        run.failure = step.label + ' failed (result code ' + code + ').';
        ended('failed');
    }
}

// The files a repair put back, as its payload's scripts name them (status argument "putBack").
function putBackFiles(args) {
    if (!args || !args.putBack)
        return null;
    try {
        var files = JSON.parse(args.putBack);
        return files instanceof Array ? files : null;
    } catch (e) {
        return null;
    }
}

// The bootstrapper made the suite's collection: its properties are stored with it, and the
// session counts as initialised, so that Setup removes the bootstrapper again should the wizard
// end with nothing installed.
function afterStep(step) {
    if (step.bootstrapper === 'install') {
        call('StoreCollectionProperties', wizard.session.key, utils.bencode(wizard.properties), '1');
        call('SetSessionInitialized', '1');
    }
}

function askToStop() {
    if (!wizard.run.stopping)
        document.getElementById('confirm').className = '';
}

function hideConfirm() {
    document.getElementById('confirm').className = 'hidden';
}

// Stops the install: the running operation is asked to stop (it answers with a question, which
// pollStep confirms) and rolls back; then what was installed before it is removed again.
function stopRun() {
    hideConfirm();
    var run = wizard.run;
    run.stopping = true;
    document.getElementById('quit').style.display = 'none';
    setTitle(run.stopTitle);
    var step = run.steps[run.index];
    document.getElementById('status').textContent =
        run.done === 'installed' ? 'Stopping, then taking back what Setup has installed...' :
        'Stopping' + (step ? ': ' + step.label : '') + '...';
    call('PostInstallThreadMessage', '0');
}

function ended(how) {
    var run = wizard.run;
    if ((how === 'stopped' || how === 'failed') && run.done === 'installed' && !run.undoing) {
        // Take back what this run installed, newest first, then say how it ended.
        var undo = [];
        for (var i = run.completed.length - 1; i >= 0; i--) {
            var step = run.completed[i];
            undo.push(step.bootstrapper ? bootstrapperStep('remove') : payloadStep(step.code, 'remove'));
        }
        wizard.run = { title: run.title, steps: undo, index: 0, completed: [], undoing: how, failure: run.failure,
                       done: run.done, barFrom: wizard.bar };
        document.getElementById('quit').style.display = 'none';
        setTitle(how === 'stopped' ? run.stopTitle : 'Setup failed: taking back the installation');
        startStep();
        return;
    }
    var result = run.undoing || how;
    if (result === 'done') {
        wizard.exitCode = EXIT_DONE;
        run.outcomeTitle = 'Done';
        run.outcome = '<p>Setup has ' + run.done + ':</p>' + completedList(run);
    } else if (result === 'stopped' && run.done !== 'installed') {
        // A repair or removal stopped: what it finished stays done.
        wizard.exitCode = EXIT_CANCELLED;
        run.outcomeTitle = run.done === 'repaired' ? 'Repair cancelled' : 'Removal cancelled';
        run.outcome = '<p id="outcome">The ' + (run.done === 'repaired' ? 'repair' : 'removal') + ' was cancelled.</p>' +
                      (run.completed.length ? '<p>Setup had ' + run.done + ':</p>' + completedList(run) : '');
        if (run.done === 'removed')
            run.outcome += '<p>Still installed:</p>' + productList(notCompleted(run));
    } else {
        wizard.exitCode = result === 'stopped' ? EXIT_CANCELLED : EXIT_FAILED;
        run.outcomeTitle = result === 'stopped' ? 'Installation cancelled' : 'Setup failed';
        var why = result === 'stopped' ? 'The installation was cancelled.' : escapeHtml(run.failure);
        var left = run.undoing && how === 'failed' ?
            ' Setup could not remove everything it had installed; the session log under Library/Logs/Orvex/Installers tells why.' :
            (run.undoing || run.done === 'installed' ? ' Nothing of it stays installed.' : '');
        run.outcome = '<p id="outcome">' + why + left + '</p>' +
            (result !== 'failed' ? '' :
                 run.sessionLog  ? '<p>The session log ' + escapeHtml(run.sessionLog + '.gz') + ' tells more.</p>' :
                                   '<p>The session log under Library/Logs/Orvex/Installers tells more.</p>');
    }
    show('finished');
}

// The payloads a run has carried out, with where an install put them and what a repair put back.
function completedList(run) {
    var list = '';
    for (var j = 0; j < run.completed.length; j++) {
        var completed = run.completed[j];
        if (!completed.code)
            continue;
        list += '<li>' + escapeHtml(productName(completed.code));
        if (run.done === 'installed' && installsFiles(wizard.session.payloadMap[completed.code]))
            list += ' in ' + pathHtml(installFolder(completed.code));
        if (completed.putBack)
            list += putBackHtml(completed.putBack);
        list += '</li>';
    }
    return '<ul id="outcome">' + list + '</ul>';
}

// What a repair put back: every file, up to a screenful; the session log names them all.
function putBackHtml(files) {
    var kShown = 20;
    if (files.length === 0)
        return ': nothing was missing or damaged';
    var html = ': put back ' + files.length + (files.length === 1 ? ' file' : ' files') + '<ul class="files">';
    for (var i = 0; i < files.length && i < kShown; i++)
        html += '<li>' + pathHtml(files[i]) + '</li>';
    if (files.length > kShown)
        html += '<li>and ' + (files.length - kShown) + ' more (the session log lists them all)</li>';
    return html + '</ul>';
}

function notCompleted(run) {
    var codes = [];
    for (var i = 0; i < run.steps.length; i++) {
        var done = false;
        for (var j = 0; j < run.completed.length; j++)
            done = done || run.completed[j] === run.steps[i];
        if (!done && run.steps[i].code)
            codes.push(run.steps[i].code);
    }
    return codes;
}

function productList(codes) {
    var list = '';
    for (var i = 0; i < codes.length; i++)
        list += '<li>' + escapeHtml(productName(codes[i])) + '</li>';
    return '<ul>' + list + '</ul>';
}

// ---- Start.

function start() {
    wizard.setup = new ContainerProxy();
    call('UIResizeWindow', '640', '480');
    call('UIShowWindow', '1');
    // As the silent workflow does: no second Setup runs beside this one. A lock that this user may
    // not use at all is held by no Setup to wait for: what is missing is the rights.
    var lock = call('AcquireSetupLock');
    if (utils.isError(lock) && lock.needsAdministratorRights) {
        message(
            'Setup needs administrator rights',
            'Setup needs administrator rights to install, repair or remove payloads. Run Setup as root.</p>' +
                (lock.sessionLog ? '<p>The session log ' + escapeHtml(lock.sessionLog + '.gz') + ' tells more.' :
                                   '<p>The session log under Library/Logs/Orvex/Installers tells more.'),
            EXIT_FAILED);
        return;
    }
    if (utils.isError(lock)) {
        message('Setup is already running', 'Another Setup is running. Quit it, then start this one again.',
                EXIT_LOCKED);
        return;
    }
    var session = call('GetSessionData');
    var defaults = call('GetDefaultProperties');
    var commandLine = call('GetCommandLineArguments');
    var tokens = call('GetDirectoryTokenMap');
    if (utils.isError(session) || utils.isError(defaults) || utils.isError(commandLine) || utils.isError(tokens)) {
        message('Setup cannot start', 'Setup cannot read the installation medium or its settings.', EXIT_BAD_INPUT);
        return;
    }
    wizard.session = session;
    wizard.tokens = tokens;
    wizard.driver = session.payloadMap[session.driverPayloadID];
    if (!wizard.driver) {
        message('Nothing to install', 'This medium holds no suite to install.', EXIT_BAD_INPUT);
        return;
    }
    var properties = utils.merge({}, defaults);
    for (var argument in commandLine.Properties) {
        if (commandLine.Properties.hasOwnProperty(argument) && argument !== 'mode' && argument !== 'installerParent')
            properties[argument] = commandLine.Properties[argument];
    }
    properties.installLanguage =
        localization.chooseLanguage(wizard.driver, properties.installLanguage, properties.defaultLanguage);
    properties.driverOrvexCode = session.driverPayloadID;
    wizard.properties = properties;
    wizard.language = properties.installLanguage;
    call('UISetWindowTitle', productName(session.driverPayloadID) + ' Setup');

    // Installed: the suite's collection holds its payloads as installed.
    var caps = call('GetCAPS');
    var codes = sessionCodes();
    for (var i = 0; !utils.isError(caps) && caps.Payloads && i < codes.length; i++) {
        var record = caps.Payloads[codes[i]];
        for (var j = 0; record && j < record.Collections.length; j++) {
            if (record.Collections[j].collectionID === session.key && record.Collections[j].installState === '2')
                wizard.installed[codes[i]] = true;
        }
    }
    if (wizard.installed[session.driverPayloadID]) {
        wizard.mode = 'maintain';
        show('maintenance');
        return;
    }

    var eulas = call('GetEULASForOrvexCode', session.driverPayloadID, wizard.language);
    if (!utils.isError(eulas))
        wizard.eula = localization.localizedValue(eulas, wizard.language);
    wizard.parent = utils.expandFolderTokens(wizard.driver.INSTALLDIR['default'] || '[OrvexProgramFiles]', tokens);
    wizard.folderProblem = checkFolder();
    show('welcome');
}

function DQENOnLoad() {
    if (wizard.setup)
        return;  // every frame load calls this again
    start();
}
