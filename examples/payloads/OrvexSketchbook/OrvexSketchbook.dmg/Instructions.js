// Instructions of Orvex Sketchbook 2.0: install the application folder of Assets into INSTALLDIR
// and record the payload in the installation database. A repair runs the same instructions: it
// puts back what is missing, a file whose bytes are not those of Assets, and the modes; it names
// the files it put back in the log and to the wizard (status argument "putBack", a JSON array).
//
// Every change of an install is recorded for the uninstall script, whose entries are played back
// newest first: the database removal (under the condition "removing" of Conditions.js), then the
// files, then the folders. A file or folder that is already gone, or a folder that still holds
// files of the user, is passed over, so that a removal never fails on what the user changed.
var mode = QENGetProperty('INSTALL_MODE');  // "install" or "repair"
var assets = QENGetProperty('QEN_ASSETS');
var target = QENGetProperty('INSTALLDIR');

function check(done, what) {
    if (!done)
        throw new Error('Orvex Sketchbook: ' + what);
}

function onRemove(command, condition) {
    if (mode === 'install')
        QENAddToUninstallScript(command, condition);
}

// Makes a folder and the missing ones above it; only what it made is removed again.
function makeFolder(path) {
    if (path === '' || QENPathExists(path))
        return;
    makeFolder(path.substring(0, path.lastIndexOf('/')));
    check(QENCreateDirectory(path, 493 /* 0755 */), 'cannot create ' + path);
    var quoted = JSON.stringify(path);
    onRemove('QENDeleteDirectory(' + quoted + ');',
             'QENGetPathChildren(' + quoted + ') && QENGetPathChildren(' + quoted + ').length === 0');
}

var putBack = [];  // the files a repair put back

// A program in Contents/MacOS gets 0755, every other file 0644.
function installFile(relative) {
    var path = target + relative;
    var original = assets + relative;
    // An install replaces whatever is there, a repair a file that is not as installed (a rollback
    // puts either back).
    if (QENPathExists(path) && (mode === 'install' || QENFileContentsMatch(path, original) === false))
        check(QENDeleteFile(path), 'cannot replace ' + path);
    if (!QENPathExists(path)) {
        check(QENCopyFile(original, path), 'cannot copy ' + relative);
        if (mode === 'repair') {
            putBack.push(path);
            QENLogMessage(1, 'Put back ' + path);
        }
    }
    check(QENChmodCommand(path, /\/Contents\/MacOS\//.test(relative) ? 493 : 420), 'cannot set the mode of ' + path);
    var quoted = JSON.stringify(path);
    onRemove('QENDeleteFile(' + quoted + ');', 'QENPathExists(' + quoted + ')');
}

function installTree(relative) {
    var children = QENGetPathChildren(assets + relative);
    if (children === undefined) {
        installFile(relative);
        return;
    }
    makeFolder(target + relative);
    children.sort();
    for (var i = 0; i < children.length; i++)
        installTree(relative + '/' + children[i]);
}

installTree('');
if (mode === 'repair')
    QENSetStatusArgument('putBack', JSON.stringify(putBack));

// The record: the whitelisted install properties go with it (a repair reads them back), and the
// earlier version it replaces is named, so that the database drops that version's records.
var properties = QENGetRawSessionProperties();
check(QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Sketchbook',
                              'Orvex Sketchbook', '2.0', '20240611.1', QENGetProperty('installLanguage'), target,
                              '', false, '', '', properties[0], properties[1], [],
                              ['{80F309BD-C18B-4643-BC52-007C9D1F0142}'], '', QENGetProperty('QEN_PAYLOAD'), mode),
      'the payload was not recorded');
onRemove('QENCAPSRemovePayloadData(QENGetProperty("sessionID"), ' + JSON.stringify(QENGetProperty('orvexCode')) + ');',
         'QENConditions.removing');
