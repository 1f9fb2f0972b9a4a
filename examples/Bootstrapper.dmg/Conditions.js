// Conditions of the bootstrapper, evaluated again at the head of its stored uninstall script.
// "removing" holds only while the suite is really removed; when a suite that upgrades this one
// plays the script back during its own install, the records are left to the upgrade.
QENConditions.removing = QENGetProperty('INSTALL_MODE') === 'remove';
