// Instructions of Orvex Sketchbook 1.0, the earlier version of the example's application: its
// two files into INSTALLDIR, each change recorded for the uninstall script, and the record in
// the installation database. Version 2.0 (examples/payloads) upgrades it: its install plays this
// script back, which removes these files and folders, while the condition "removing" keeps the
// playback away from the database.
var mode = QENGetProperty('INSTALL_MODE');  // "install" or "repair"
var assets = QENGetProperty('QEN_ASSETS') + '/Orvex Sketchbook.app/Contents';
var target = QENGetProperty('INSTALLDIR');
var contents = target + '/Orvex Sketchbook.app/Contents';

function check(done, what) {
    if (!done)
        throw new Error('Orvex Sketchbook 1.0: ' + what);
}

function onRemove(command, condition) {
    if (mode === 'install')
        QENAddToUninstallScript(command, condition);
}

var folders = [target, target + '/Orvex Sketchbook.app', contents, contents + '/MacOS'];
for (var i = 0; i < folders.length; i++) {
    if (!QENPathExists(folders[i])) {
        check(QENCreateDirectory(folders[i], 493 /* 0755 */), 'cannot create ' + folders[i]);
        var quoted = JSON.stringify(folders[i]);
        onRemove('QENDeleteDirectory(' + quoted + ');',
                 'QENGetPathChildren(' + quoted + ') && QENGetPathChildren(' + quoted + ').length === 0');
    }
}

var files = [['/Info.plist', 420 /* 0644 */], ['/MacOS/Orvex Sketchbook', 493 /* 0755 */]];
for (var j = 0; j < files.length; j++) {
    var path = contents + files[j][0];
    if (!QENPathExists(path))
        check(QENCopyFile(assets + files[j][0], path), 'cannot copy ' + files[j][0]);
    check(QENChmodCommand(path, files[j][1]), 'cannot set the mode of ' + path);
    onRemove('QENDeleteFile(' + JSON.stringify(path) + ');', 'QENPathExists(' + JSON.stringify(path) + ')');
}

var properties = QENGetRawSessionProperties();
check(QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Sketchbook',
                              'Orvex Sketchbook', '1.0', '20230905.2', QENGetProperty('installLanguage'), target,
                              '', false, '', '', properties[0], properties[1], [], [], '',
                              QENGetProperty('QEN_PAYLOAD'), mode),
      'the payload was not recorded');
onRemove('QENCAPSRemovePayloadData(QENGetProperty("sessionID"), ' + JSON.stringify(QENGetProperty('orvexCode')) + ');',
         'QENConditions.removing');
