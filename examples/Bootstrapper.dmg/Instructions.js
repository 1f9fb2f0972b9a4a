// Instructions of the bootstrapper: the suite's folder under Installers (INSTALLDIR, named by the
// session key) and the suite's collection in the installation database, which records the
// payloads installed later. Its uninstall script removes both again (see the payloads' scripts
// for the pattern of recorded removals).
var folder = QENGetProperty('INSTALLDIR');
var collection = QENGetProperty('sessionID');

function check(done, what) {
    if (!done)
        throw new Error('Bootstrapper: ' + what);
}

function makeFolder(path) {
    if (path !== '' && !QENPathExists(path)) {
        makeFolder(path.substring(0, path.lastIndexOf('/')));
        check(QENCreateDirectory(path, 493 /* 0755 */), 'cannot create ' + path);
    }
}

makeFolder(folder);
var quotedFolder = JSON.stringify(folder);
QENAddToUninstallScript('QENDeleteDirectory(' + quotedFolder + ');',
                        'QENGetPathChildren(' + quotedFolder + ') && QENGetPathChildren(' + quotedFolder + ').length === 0');

var readMe = folder + '/ReadMe.txt';
if (QENPathExists(readMe))
    check(QENDeleteFile(readMe), 'cannot replace ' + readMe);
check(QENCopyFile(QENGetProperty('QEN_ASSETS') + '/ReadMe.txt', readMe), 'cannot copy ReadMe.txt');
check(QENChmodCommand(readMe, 420 /* 0644 */), 'cannot set the mode of ' + readMe);
QENAddToUninstallScript('QENDeleteFile(' + JSON.stringify(readMe) + ');', 'QENPathExists(' + JSON.stringify(readMe) + ')');

check(QENCAPSWriteCollectionData(collection, QENGetProperty('driverOrvexCode'), QENGetProperty('installSourcePath'), ''),
      'the collection was not recorded');
QENAddToUninstallScript('QENCAPSRemoveCollectionData(' + JSON.stringify(collection) + ');', 'QENConditions.removing');
