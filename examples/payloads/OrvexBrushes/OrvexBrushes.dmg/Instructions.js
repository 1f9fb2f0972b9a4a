// Instructions of Orvex Sketchbook Brushes: the brush files of Assets into the fixed folder
// INSTALLDIR, shared by every version of Orvex Sketchbook; then the record in the installation
// database. Install and repair alike (a repair puts back missing and damaged brushes and names
// them, as Orvex Sketchbook's does); the uninstall entries follow the pattern of Orvex
// Sketchbook's instructions (files only while present, the folder only when empty, the record
// only in a real removal).
var mode = QENGetProperty('INSTALL_MODE');  // "install" or "repair"
var assets = QENGetProperty('QEN_ASSETS');
var target = QENGetProperty('INSTALLDIR');

function check(done, what) {
    if (!done)
        throw new Error('Orvex Sketchbook Brushes: ' + what);
}

function onRemove(command, condition) {
    if (mode === 'install')
        QENAddToUninstallScript(command, condition);
}

// The folder goes again (when empty) only when this payload made it.
if (!QENPathExists(target)) {
    check(QENCreateDirectory(target, 493 /* 0755 */), 'cannot create ' + target);
    var quotedTarget = JSON.stringify(target);
    onRemove('QENDeleteDirectory(' + quotedTarget + ');',
             'QENGetPathChildren(' + quotedTarget + ') && QENGetPathChildren(' + quotedTarget + ').length === 0');
}

var putBack = [];
var brushes = QENGetPathChildren(assets).sort();
for (var i = 0; i < brushes.length; i++) {
    var path = target + '/' + brushes[i];
    var original = assets + '/' + brushes[i];
    if (QENPathExists(path) && (mode === 'install' || QENFileContentsMatch(path, original) === false))
        check(QENDeleteFile(path), 'cannot replace ' + path);
    if (!QENPathExists(path)) {
        check(QENCopyFile(original, path), 'cannot copy ' + brushes[i]);
        if (mode === 'repair') {
            putBack.push(path);
            QENLogMessage(1, 'Put back ' + path);
        }
    }
    check(QENChmodCommand(path, 420 /* 0644 */), 'cannot set the mode of ' + path);
    onRemove('QENDeleteFile(' + JSON.stringify(path) + ');', 'QENPathExists(' + JSON.stringify(path) + ')');
}

if (mode === 'repair')
    QENSetStatusArgument('putBack', JSON.stringify(putBack));

var properties = QENGetRawSessionProperties();
check(QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Sketchbook Brushes',
                              'Orvex Sketchbook Brushes', '1.0', '20240402.3', QENGetProperty('installLanguage'),
                              target, '', false, '', '', properties[0], properties[1], [], [], '',
                              QENGetProperty('QEN_PAYLOAD'), mode),
      'the payload was not recorded');
onRemove('QENCAPSRemovePayloadData(QENGetProperty("sessionID"), ' + JSON.stringify(QENGetProperty('orvexCode')) + ');',
         'QENConditions.removing');
