// Conditions of Orvex Sketchbook Brushes. Setup evaluates them before the instructions and again at the
// head of the stored uninstall script, whenever that script is played back.
//
// "removing" holds only while the payload is really removed. When a later version upgrades this
// one, the upgrade plays this script back inside its own install (INSTALL_MODE "install"): the
// files go, and the upgrading payload records the change in the installation database itself.
QENConditions.removing = QENGetProperty('INSTALL_MODE') === 'remove';
