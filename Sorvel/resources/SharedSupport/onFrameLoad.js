// Evaluated by Setup in every wizard page (and HTML alert) after each frame load, before Setup
// declares its methods with DQENCreateContainerMethod and calls DQENCallOnLoadHandler. A page
// that brings its own DQEN object or functions keeps them.
//
// A call such as DQEN.GetSessionData(a, b) raises alert("DQEN<===>GetSessionData<===>a<===>b");
// Setup answers by setting DQEN.result to the JSON text of the answer (or null) before alert()
// returns, and the call returns that text.
if (typeof DQEN === 'undefined' || DQEN === null) {
    DQEN = { result: null };
}

if (typeof DQENCreateContainerMethod !== 'function') {
    DQENCreateContainerMethod = function (name) {
        DQEN[name] = function () {
            var parts = ['DQEN', name];
            for (var i = 0; i < arguments.length; ++i) {
                parts.push(String(arguments[i]));
            }
            DQEN.result = null;
            alert(parts.join('<===>'));
            return DQEN.result;
        };
    };
}

if (typeof DQENCallOnLoadHandler !== 'function') {
    // The page names its start-up function DQENOnLoad; it runs after every load of a frame.
    DQENCallOnLoadHandler = function () {
        if (typeof DQENOnLoad === 'function') {
            DQENOnLoad();
        }
    };
}

if (typeof DQENCallOnCloseHandler !== 'function') {
    // The user asked the window to close. A page that has DQENOnClose answers that itself (its
    // own question, its own exit code), after this call has returned; true tells Setup so.
    // Without it Setup asks whether to quit.
    DQENCallOnCloseHandler = function () {
        if (typeof DQENOnClose !== 'function') {
            return false;
        }
        setTimeout(DQENOnClose, 0);
        return true;
    };
}
