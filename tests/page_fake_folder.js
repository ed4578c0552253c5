// A folder the page is given in place of the browser's folder picker,
// which no driver can work: the File System Access API's handles over
// bytes held here, for page_test.py. window.fakeFolder(tree) makes one from
// {path: base64} and makes the picker give it; window.folderBytes(dir)
// gives back every file as {path: base64}.
(() => {
  const decode = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
  const encode = (bytes) => btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(''));
  class FileHandle {
    constructor(name, bytes, lastModified) {
      Object.assign(this, { kind: 'file', name, bytes, lastModified });
    }
    async getFile() {
      return new File([this.bytes], this.name, { lastModified: this.lastModified });
    }
    async createWritable() {
      const parts = [];
      return {
        write: async (data) => parts.push(data),
        close: async () => { this.bytes = new Uint8Array(await new Blob(parts).arrayBuffer()); },
      };
    }
    async isSameEntry(other) {
      return other === this;
    }
  }
  class DirHandle {
    constructor(name) {
      Object.assign(this, { kind: 'directory', name, children: new Map() });
    }
    async *entries() {
      yield* this.children.entries();
    }
    async getFileHandle(name, options = {}) {
      if (!this.children.has(name)) {
        if (!options.create) throw new DOMException(name, 'NotFoundError');
        this.children.set(name, new FileHandle(name, new Uint8Array(), Date.now()));
      }
      return this.children.get(name);
    }
    async getDirectoryHandle(name, options = {}) {
      if (!this.children.has(name)) {
        if (!options.create) throw new DOMException(name, 'NotFoundError');
        this.children.set(name, new DirHandle(name));
      }
      return this.children.get(name);
    }
    async removeEntry(name) {
      this.children.delete(name);
    }
  }
  window.fakeFolder = (name, tree, lastModified) => {
    const root = new DirHandle(name);
    for (const [path, b64] of Object.entries(tree)) {
      const parts = path.split('/');
      let dir = root;
      for (const part of parts.slice(0, -1)) {
        if (!dir.children.has(part)) dir.children.set(part, new DirHandle(part));
        dir = dir.children.get(part);
      }
      dir.children.set(parts.at(-1), new FileHandle(parts.at(-1), decode(b64), lastModified));
    }
    window.showDirectoryPicker = async () => root;
    window.pickedFolder = root;
  };
  window.folderBytes = (dir = window.pickedFolder, prefix = '') => {
    let out = {};
    for (const [name, h] of dir.children)
      out = { ...out, ...(h.kind === 'file' ? { [prefix + name]: encode(h.bytes) } : window.folderBytes(h, prefix + name + '/')) };
    return out;
  };
})();
