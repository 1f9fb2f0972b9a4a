// Opens a payload's conditions script ("Conditions.js"). The conditions script sets fields of
// QENConditions, which the payload's instructions and its stored uninstall entries test; stored
// uninstall scripts start with the same three texts, so they see the conditions again.
var QENConditions = {};
