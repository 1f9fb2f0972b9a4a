// localization.js: the language in which payloads are installed.
var localization = {
    defaultLanguage: 'en_US',

    // The languages a payload description (GetSessionData) offers; null for a payload that is
    // installed alike in every language.
    payloadLanguages: function (description) {
        if (!description || description.isLanguageIndependent === '1')
            return null;
        return description.Languages || [];
    },

    // The requested language when the payload offers it, else the preferred one when it does,
    // else the payload's first language.
    chooseLanguage: function (description, requested, preferred) {
        var languages = localization.payloadLanguages(description);
        var candidates = [requested, preferred];
        for (var i = 0; i < candidates.length; i++) {
            if (candidates[i] && (languages === null || languages.indexOf(candidates[i]) >= 0))
                return candidates[i];
        }
        if (languages && languages.length > 0)
            return languages[0];
        return preferred || localization.defaultLanguage;
    },

    // The value of a text the description keeps per language (AddRemoveInfo), in the language,
    // else in the default language, else the first there is.
    localizedValue: function (values, language) {
        if (!values)
            return undefined;
        if (values.hasOwnProperty(language))
            return values[language];
        if (values.hasOwnProperty(localization.defaultLanguage))
            return values[localization.defaultLanguage];
        for (var key in values) {
            if (values.hasOwnProperty(key))
                return values[key];
        }
        return undefined;
    }
};

// Setup asks this before it shows the wizard: the payload language when only one is possible
// (the "installLanguage" of the command line, else the driver payload's only language), so that
// the wizard can show itself in that language. Undefined when the choice is left to the user.
function _tesselGetSingleLanguage() {
    var setup = new ContainerProxy();
    var commandLine = setup.call('GetCommandLineArguments');
    if (!utils.isError(commandLine) && commandLine.Properties && commandLine.Properties.installLanguage)
        return commandLine.Properties.installLanguage;
    var session = setup.call('GetSessionData');
    if (utils.isError(session) || !session.payloadMap)
        return undefined;
    var languages = localization.payloadLanguages(session.payloadMap[session.driverPayloadID]);
    return languages && languages.length === 1 ? languages[0] : undefined;
}
