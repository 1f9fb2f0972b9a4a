// utils.js: helpers that the wizard's pages and Setup's own scripts share: reading the answers of
// Setup's script interface, writing property sets in the bencoded form its methods take, and
// folder tokens such as "[OrvexProgramFiles]".
var utils = {
    // An answer is JSON text in which a single quote may be escaped, as in a script literal, so
    // it is read as one. A call that gave no answer reads as an error.
    parseAnswer: function (text) {
        if (text === null || text === undefined || text === '')
            return { _error: 'noAnswer' };
        return eval('(' + text + ')');
    },

    isError: function (answer) {
        return !answer || answer._error !== undefined;
    },

    // The result codes of payload operations that count as success.
    isSuccessCode: function (code) {
        var value = Number(code);
        return value === 0 || value === 5 || value === 7;
    },

    // The length of the text in UTF-8, the unit of bencoded lengths.
    utf8Length: function (text) {
        var length = 0;
        for (var i = 0; i < text.length; i++) {
            var c = text.charCodeAt(i);
            if (c < 0x80) {
                length += 1;
            } else if (c < 0x800) {
                length += 2;
            } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.length) {
                length += 4;  // a surrogate pair is one character of four bytes
                i++;
            } else {
                length += 3;
            }
        }
        return length;
    },

    // A flat object of strings as a bencoded dictionary of byte strings, keys in order.
    bencode: function (properties) {
        var keys = [];
        for (var key in properties) {
            if (properties.hasOwnProperty(key) && properties[key] !== undefined && properties[key] !== null)
                keys.push(key);
        }
        keys.sort();
        var text = 'd';
        for (var i = 0; i < keys.length; i++) {
            var value = String(properties[keys[i]]);
            text += utils.utf8Length(keys[i]) + ':' + keys[i] + utils.utf8Length(value) + ':' + value;
        }
        return text + 'e';
    },

    // Copies the members of source over those of target; answers target.
    merge: function (target, source) {
        for (var key in source) {
            if (source.hasOwnProperty(key))
                target[key] = source[key];
        }
        return target;
    },

    // The names of an object's own members.
    keys: function (object) {
        var names = [];
        for (var name in object) {
            if (object.hasOwnProperty(name))
                names.push(name);
        }
        return names;
    },

    // The payloads that a collection holds as installed, by code (each true), read from the
    // installation database's answer to "GetCAPS".
    installedPayloads: function (caps, collectionID) {
        var installed = {};
        for (var code in caps.Payloads || {}) {
            var collections = caps.Payloads.hasOwnProperty(code) ? caps.Payloads[code].Collections || [] : [];
            for (var i = 0; i < collections.length; i++) {
                if (collections[i].collectionID === collectionID && collections[i].installState === '2')
                    installed[code] = true;
            }
        }
        return installed;
    },

    // Replaces every "[Token]" that the token map (GetDirectoryTokenMap) knows by its folder.
    expandFolderTokens: function (path, tokens) {
        return String(path).replace(/\[[A-Za-z0-9]+\]/g, function (token) {
            return tokens && tokens.hasOwnProperty(token) ? tokens[token] : token;
        });
    },

    joinPath: function (folder, name) {
        return String(folder).replace(/\/+$/, '') + '/' + String(name).replace(/^\/+/, '');
    },

    // The folder a payload of the session is installed into: its proxy file's install folder
    // (a folder token such as "[OrvexProgramFiles]", under the system root) with its folder name,
    // or the "INSTALLDIR" of the properties, unless the proxy file says the folder is fixed.
    payloadInstallFolder: function (description, properties, tokens) {
        var folder = description.INSTALLDIR || {};
        if (properties.INSTALLDIR && folder.isFixed !== '1')
            return utils.expandFolderTokens(properties.INSTALLDIR, tokens);
        var base = utils.expandFolderTokens(folder['default'] || '[OrvexProgramFiles]', tokens);
        return folder.folderName ? utils.joinPath(base, folder.folderName) : base;
    },

    // The properties that make the bootstrapper log into the session's own log: Setup names that
    // log after the driver payload's product name and version (else after the session key), and
    // the bootstrapper's after "AddRemoveInfoDisplayName" and "AddRemoveInfoDisplayVersion" (else
    // after "sessionID"). Without them a run is split over two logs, and the one left behind is
    // never compressed.
    sessionLogProperties: function (session) {
        var driver = session.payloadMap[session.driverPayloadID];
        if (!driver || !driver.ProductName || !driver.ProductVersion || !driver.BuildInfo || !driver.BuildInfo.Created)
            return {};
        return { AddRemoveInfoDisplayName: driver.ProductName, AddRemoveInfoDisplayVersion: driver.ProductVersion };
    },

    // The session's payload codes in the order of their operations: the driver payload is
    // installed after the payloads it may need and removed before them.
    operationOrder: function (session, actions) {
        var codes = [];
        for (var code in actions) {
            if (actions.hasOwnProperty(code) && code !== session.driverPayloadID)
                codes.push(code);
        }
        codes.sort();
        if (actions.hasOwnProperty(session.driverPayloadID)) {
            if (actions[session.driverPayloadID] === 'remove')
                codes.unshift(session.driverPayloadID);
            else
                codes.push(session.driverPayloadID);
        }
        return codes;
    }
};
