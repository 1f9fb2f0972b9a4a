// ContainerProxy: calls Setup's script interface by method name and answers the parsed answer.
// A wizard page reaches the interface through the object DQEN, a script that Setup runs itself
// through global functions; the proxy hides which of the two it talks to.
function ContainerProxy(host) {
    if (host)
        this.host = host;
    else
        this.host = typeof DQEN !== 'undefined' ? DQEN : ContainerProxy.globalObject;
}

// Evaluated at the top level, where this is the global object.
ContainerProxy.globalObject = this;

ContainerProxy.prototype.offers = function (method) {
    return typeof this.host[method] === 'function';
};

// call(method, argument...): every argument goes over as text. Answers the parsed answer, which
// carries "_error" when the method failed; a method Setup does not offer throws.
ContainerProxy.prototype.call = function (method) {
    if (!this.offers(method))
        throw new Error('Setup offers no method ' + method);
    var args = [];
    for (var i = 1; i < arguments.length; i++)
        args.push(String(arguments[i]));
    return utils.parseAnswer(this.host[method].apply(this.host, args));
};
