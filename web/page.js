// The page that applies a patch: the player picks the patch and the bundle
// (or, where the browser has a folder picker, a game folder), and the
// worker (worker.js) runs bndpatch on them, in the browser. Nothing is
// sent anywhere: the module and the worker are in the page itself.
//
// The patched bundle is offered as a download under the bundle's name.
// Where the browser lets the page write the folder that holds it (the
// File System Access API's folder picker), it can also be written in
// place, with the backup bndpatch keeps: BUNDLE.BAK is written first where
// the folder has none, and one that is there is left as it is. A file
// handle alone gives no way to the folder, so no backup could be kept:
// there the page says so, and offers only the download.
'use strict';

const kBackupSuffix = '.BAK';
const kOut = document.getElementById('output');
const kActions = document.getElementById('actions');
const kTexts = JSON.parse(document.getElementById('texts').textContent);
const kJapanese = (navigator.language || '').toLowerCase().startsWith('ja');

// text -- a page text in the page's language, each %s filled in turn
function text(key, ...values) {
  let t = kTexts[key][kJapanese ? 1 : 0];
  for (const v of values) t = t.replace('%s', v);
  return t;
}

// moduleBytes -- the module, kept in the page as base64
function moduleBytes() {
  const binary = atob(document.getElementById('module').textContent.trim());
  const bytes = new Uint8Array(binary.length);
  for (let k = 0; k < binary.length; ++k) bytes[k] = binary.charCodeAt(k);
  return bytes;
}

const worker = new Worker(URL.createObjectURL(
  new Blob([document.getElementById('worker').textContent], { type: 'text/javascript' })));
let module_ = moduleBytes();

// runInWorker -- bndpatch over the files, each {path, file}, with args
function runInWorker(files, args) {
  return new Promise((resolve) => {
    worker.onmessage = (event) => resolve(event.data);
    worker.postMessage({ module: module_, files, args, english: !kJapanese });
  });
}

let picked = { bundleHandle: null, folder: null };

function show(run) {
  kOut.textContent = '';
  for (const [cls, t] of [['out', run.out], ['err', run.err]]) {
    if (!t) continue;
    const span = document.createElement('span');
    span.className = cls;
    span.textContent = t;
    kOut.append(span);
  }
}

function say(message) {
  const p = document.createElement('p');
  p.textContent = message;
  kActions.append(p);
}

// offerDownload -- a link that saves the blob under the name; the link
// of the run before is let go, and its bytes with it
let offered = null;
function offerDownload(name, blob) {
  if (offered) URL.revokeObjectURL(offered);
  offered = URL.createObjectURL(blob);
  const a = document.createElement('a');
  a.id = 'download';
  a.href = offered;
  a.download = name;
  a.textContent = text('download', name);
  kActions.append(a);
}

// sameFile -- whether a file of the folder is the one the player picked
async function sameFile(handle, file) {
  if (picked.bundleHandle) return handle.isSameEntry(picked.bundleHandle);
  const there = await handle.getFile();
  return there.size === file.size && there.lastModified === file.lastModified;
}

// writeFile -- a folder's file made to hold the blob; the browser gives it
// its name only once it is whole (close)
async function writeFile(dir, name, blob) {
  const handle = await dir.getFileHandle(name, { create: true });
  const writable = await handle.createWritable();
  await writable.write(blob);
  await writable.close();
}

async function exists(dir, name) {
  try {
    await dir.getFileHandle(name);
    return true;
  } catch (e) {
    return false;
  }
}

// writeInPlace -- the patched bundle written over the picked one, in the
// folder the player gives, BUNDLE.BAK first where there is none
async function writeInPlace(file, blob) {
  let dir;
  try {
    dir = await window.showDirectoryPicker({ mode: 'readwrite', startIn: picked.bundleHandle || 'documents' });
  } catch (e) {
    say(text('no_backup', file.name, file.name));
    return;
  }
  const backup = file.name + kBackupSuffix;
  let handle;
  try {
    handle = await dir.getFileHandle(file.name);
  } catch (e) {
    handle = null;
  }
  if (!handle || !(await sameFile(handle, file))) {
    say(text('not_same', file.name));
    return;
  }
  const kept = await exists(dir, backup);
  if (!kept) await writeFile(dir, backup, file);
  await writeFile(dir, file.name, blob);
  say(text(kept ? 'kept' : 'written', file.name, file.name));
}

function offerInPlace(file, blob) {
  if (!window.showDirectoryPicker) {
    if (picked.bundleHandle) say(text('no_backup', file.name, file.name));
    return;
  }
  const b = document.createElement('button');
  b.type = 'button';
  b.id = 'in-place';
  b.textContent = text('in_place', file.name, file.name);
  b.onclick = () => writeInPlace(file, blob).catch((e) => say(text('stopped', String(e))));
  kActions.append(b);
}

// patchPath -- the patch's name in the worker's files, apart from the target's
function patchPath(patch, target) {
  return patch.name === target ? 'patch/' + patch.name : patch.name;
}

async function applyToBundle(patch, bundle) {
  const path = patchPath(patch, bundle.name);
  const run = await runInWorker([{ path: bundle.name, file: bundle }, { path, file: patch }],
                                ['bndpatch', bundle.name, path]);
  if (run.failed) return say(text('stopped', run.failed));
  show(run);
  const made = run.files.find((f) => f.path === bundle.name && f.blob);
  if (run.status !== 0 || !made) return;
  offerDownload(bundle.name, made.blob);
  offerInPlace(bundle, made.blob);
}

// filesOf -- every file below a folder handle, each {path, file, handle}
async function filesOf(dir, prefix, out) {
  for await (const [name, handle] of dir.entries()) {
    const path = prefix + '/' + name;
    if (handle.kind === 'directory') await filesOf(handle, path, out);
    else out.push({ path, file: await handle.getFile() });
  }
  return out;
}

// writeBack -- each file the run made, renamed or removed, written into
// the folder: every backup first, so that an original is never lost; how
// many were written
async function writeBack(root, given, after) {
  const now = new Set(after.map((f) => f.path));
  const changed = after.filter((f) => f.blob || given[f.source].path !== f.path);
  const isBackup = (f) => f.path.endsWith(kBackupSuffix);
  changed.sort((a, b) => Number(isBackup(b)) - Number(isBackup(a)));
  const folderOf = async (path) => {
    let dir = root;
    for (const part of path.split('/').slice(1, -1)) dir = await dir.getDirectoryHandle(part, { create: true });
    return dir;
  };
  const nameOf = (path) => path.split('/').pop();
  for (const f of changed)
    await writeFile(await folderOf(f.path), nameOf(f.path), f.blob || given[f.source].file);
  for (const f of given)
    if (f.path.startsWith(root.name + '/') && !now.has(f.path)) await (await folderOf(f.path)).removeEntry(nameOf(f.path));
  return changed.length;
}

async function applyToFolder(patch, root) {
  const files = await filesOf(root, root.name, []);
  const path = patchPath(patch, root.name);
  files.push({ path, file: patch });
  const run = await runInWorker(files, ['bndpatch', root.name, path]);
  if (run.failed) return say(text('stopped', run.failed));
  show(run);
  if (run.status !== 0) return;
  const written = await writeBack(root, files, run.files.filter((f) => f.path !== path));
  say(text('folder_written', root.name, String(written)));
}

async function apply() {
  const patch = document.getElementById('patch').files[0];
  const bundle = document.getElementById('bundle').files[0];
  kActions.textContent = '';
  kOut.textContent = '';
  if (!patch || !(bundle || picked.folder)) return say(text('pick'));
  const target = picked.folder ? picked.folder.name : bundle.name;
  kOut.textContent = text('working', patch.name, target);
  document.body.classList.add('busy');
  try {
    if (picked.folder) await applyToFolder(patch, picked.folder);
    else await applyToBundle(patch, bundle);
  } catch (e) {
    say(text('stopped', String(e)));
  } finally {
    document.body.classList.remove('busy');
    document.body.dataset.done = String(Number(document.body.dataset.done || 0) + 1);
  }
}

// The bundle's own picker, where the browser has one, gives a handle too.
async function pickBundle(event) {
  event.preventDefault();
  try {
    const [handle] = await window.showOpenFilePicker();
    const transfer = new DataTransfer();
    transfer.items.add(await handle.getFile());
    event.target.files = transfer.files;
    picked = { bundleHandle: handle, folder: null };
  } catch (e) {
    // The player closed the picker: the choice stays as it was.
  }
}

async function pickFolder() {
  try {
    picked = { bundleHandle: null, folder: await window.showDirectoryPicker({ mode: 'readwrite' }) };
    document.getElementById('bundle').value = '';
    document.getElementById('folder-name').textContent = picked.folder.name;
  } catch (e) {
    // The player closed the picker.
  }
}

document.title = 'bndpatch';
document.documentElement.lang = kJapanese ? 'ja' : 'en';
document.getElementById('title').textContent = text('title');
document.getElementById('intro').textContent = text('intro');
document.getElementById('apply').onclick = apply;
document.getElementById('bundle').onchange = () => {
  picked = { bundleHandle: null, folder: null };  // picked without the browser's own picker: no handle
  document.getElementById('folder-name').textContent = '';
};
if (window.showOpenFilePicker) document.getElementById('bundle').onclick = pickBundle;
if (window.showDirectoryPicker) {
  document.getElementById('folder-row').hidden = false;
  document.getElementById('folder-intro').textContent = text('folder_intro');
  document.getElementById('folder').textContent = text('choose_folder');
  document.getElementById('folder').onclick = pickFolder;
}
document.body.dataset.ready = 'true';
