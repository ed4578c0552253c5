// The page's worker: runs bndpatch (the module, web/page.cpp) over the
// files the page hands it, apart from the page so that the page stays
// responsive, and where a file can be read synchronously (FileReaderSync),
// as the module's calls need.
//
// Each file's bytes stay here, never in the module's memory: a picked file
// is read whole on its first read (one read of a bundle costs less than
// many small ones, and the module reads it twice), a made one is gathered
// into parts of kPartSize bytes, each kept as a Blob once full, which the
// browser holds outside this worker (a Blob for each block written cost
// twice the time); a made file handed back to the page is one Blob of them.
'use strict';

const kWasiNoSys = 52;  // what the module's few system calls answer: none here
const kPartSize = 16 << 20;

let exports_ = null;
let memory = null;
const contents = new Map();  // content number -> { file, bytes } or { parts, size }
const encoder = new TextEncoder();
const decoder = new TextDecoder();

function view(ptr, size) {
  return new Uint8Array(memory.buffer, ptr, size);
}

// blobOf -- a made content's bytes as one Blob
function blobOf(content) {
  return new Blob([...content.parts, content.part.subarray(0, content.filled)]);
}

// bytesOf -- a content's bytes, read once from its file or its parts
function bytesOf(content) {
  if (!content.bytes) {
    const blob = content.file || blobOf(content);
    content.bytes = new Uint8Array(new FileReaderSync().readAsArrayBuffer(blob));
  }
  return content.bytes;
}

// keep -- bytes after the end of a made content
function keep(content, bytes) {
  while (bytes.length > 0) {
    const n = Math.min(bytes.length, kPartSize - content.filled);
    content.part.set(bytes.subarray(0, n), content.filled);
    content.filled += n;
    bytes = bytes.subarray(n);
    if (content.filled === kPartSize) {
      content.parts.push(new Blob([content.part]));
      content.filled = 0;
    }
  }
  content.bytes = null;
}

const imports = {
  page: {
    read(id, at, ptr, size) {
      const content = contents.get(id);
      if (!content) return -1;
      try {
        const bytes = bytesOf(content).subarray(at, at + size);
        view(ptr, bytes.length).set(bytes);
        return bytes.length;
      } catch (e) {
        return -1;
      }
    },
    append(id, ptr, size) {
      let content = contents.get(id);
      if (!content) {
        content = { parts: [], part: new Uint8Array(kPartSize), filled: 0 };
        contents.set(id, content);
      }
      try {
        keep(content, view(ptr, size));
        return 0;
      } catch (e) {
        return -1;
      }
    },
    drop(id) {
      contents.delete(id);
    },
  },
  wasi_snapshot_preview1: {
    fd_close: () => kWasiNoSys,
    fd_seek: () => kWasiNoSys,
    fd_write: () => kWasiNoSys,
  },
};

// put -- text into the module's buffer; its length in bytes
function put(text) {
  const bytes = encoder.encode(text);
  view(exports_.page_buffer(bytes.length), bytes.length).set(bytes);
  return bytes.length;
}

function result(which) {
  return decoder.decode(view(exports_.page_result(which), exports_.page_result_size(which)).slice());
}

// listing -- the module's files after a run: name, content number, size
function listing() {
  return result(2).split('\n').filter((line) => line).map((line) => {
    const [content, size, ...name] = line.split('\t');
    return { path: name.join('\t'), content: Number(content), size: Number(size) };
  });
}

// run -- bndpatch over the files given, each {path, file}; what it said,
// and every file after it: a made one with its Blob, a picked one with
// the number of the file given (source)
function run(request) {
  exports_.page_clear();
  contents.clear();
  request.files.forEach(({ path, file }, source) => {
    const id = exports_.page_add(put(path), file.size);
    if (id) contents.set(id, { file, source, bytes: null });
  });
  const status = exports_.page_run(put(request.args.join('\0')), request.english ? 1 : 0);
  const files = listing().map((f) => {
    const content = contents.get(f.content);
    if (!content) return f;
    return content.parts ? { ...f, blob: blobOf(content) } : { ...f, source: content.source };
  });
  const answer = { status, out: result(0), err: result(1), files };
  exports_.page_clear();
  contents.clear();
  return answer;
}

async function start(module) {
  const instance = await WebAssembly.instantiate(module, imports);
  exports_ = instance.exports;
  memory = exports_.memory;
  exports_._initialize();
}

let module_ = null;
onmessage = async (event) => {
  const request = event.data;
  try {
    if (!module_) module_ = await WebAssembly.compile(request.module);
    if (!exports_) await start(module_);
    postMessage(run(request));
  } catch (e) {
    exports_ = null;  // a trap leaves the module's memory as it found it: the next run starts it anew
    contents.clear();
    postMessage({ failed: String(e) });
  }
};
