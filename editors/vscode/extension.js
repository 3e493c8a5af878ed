// Starts brix-lsp for BRIX files and connects it to the editor. A small
// client over the editor's own API, so that the folder works when copied,
// with no packages to install: JSON-RPC over the server's stdio, whole-text
// sync, and the requests the server answers.
"use strict";
const vscode = require("vscode");
const { spawn } = require("child_process");

let server = null;
let nextId = 1;
const waiting = new Map();
let buffer = Buffer.alloc(0);
const diagnostics = vscode.languages.createDiagnosticCollection("brix");

function send(message) {
  if (!server) return;
  const body = Buffer.from(JSON.stringify({ jsonrpc: "2.0", ...message }), "utf8");
  server.stdin.write(`Content-Length: ${body.length}\r\n\r\n`);
  server.stdin.write(body);
}
function request(method, params) {
  const id = nextId++;
  return new Promise((resolve) => {
    waiting.set(id, resolve);
    send({ id, method, params });
  });
}
const notify = (method, params) => send({ method, params });

function receive(chunk) {
  buffer = Buffer.concat([buffer, chunk]);
  for (;;) {
    const end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    const length = Number(/Content-Length: *(\d+)/i.exec(buffer.slice(0, end).toString())?.[1]);
    if (buffer.length < end + 4 + length) return;
    const message = JSON.parse(buffer.slice(end + 4, end + 4 + length).toString("utf8"));
    buffer = buffer.slice(end + 4 + length);
    if (message.id !== undefined && waiting.has(message.id)) {
      waiting.get(message.id)(message.result ?? null);
      waiting.delete(message.id);
    } else if (message.method === "textDocument/publishDiagnostics") {
      diagnostics.set(vscode.Uri.parse(message.params.uri), message.params.diagnostics.map(toDiagnostic));
    } else if (message.id !== undefined) {
      send({ id: message.id, result: null }); // requests from the server we do not serve
    }
  }
}

const toPosition = (p) => new vscode.Position(p.line, p.character);
const toRange = (r) => new vscode.Range(toPosition(r.start), toPosition(r.end));
const fromPosition = (p) => ({ line: p.line, character: p.character });
const SEVERITY = [null, vscode.DiagnosticSeverity.Error, vscode.DiagnosticSeverity.Warning,
  vscode.DiagnosticSeverity.Information, vscode.DiagnosticSeverity.Hint];

function toDiagnostic(d) {
  const out = new vscode.Diagnostic(toRange(d.range), d.message, SEVERITY[d.severity || 1]);
  out.code = d.code;
  out.source = d.source;
  return out;
}
function toEdit(changes) {
  const edit = new vscode.WorkspaceEdit();
  for (const [uri, edits] of Object.entries(changes || {})) {
    for (const e of edits) edit.replace(vscode.Uri.parse(uri), toRange(e.range), e.newText);
  }
  return edit;
}
const at = (document, position) => ({ textDocument: { uri: document.uri.toString() }, position: fromPosition(position) });
const toLocation = (l) => new vscode.Location(vscode.Uri.parse(l.uri), toRange(l.range));

function settings() {
  const c = vscode.workspace.getConfiguration("brix");
  const keys = ["externs", "externsFile", "catalog", "departmentNames", "warnings", "allow", "debounceMs"];
  return Object.fromEntries(keys.map((k) => [k, c.get(k)]).filter(([, v]) => v !== null && v !== undefined));
}

async function start(context) {
  const command = vscode.workspace.getConfiguration("brix").get("server.command") || [];
  if (command.length === 0) return;
  server = spawn(command[0], command.slice(1), { stdio: ["pipe", "pipe", "pipe"] });
  server.on("error", (e) => vscode.window.showErrorMessage(`brix-lsp could not start: ${e.message}`));
  server.stdout.on("data", receive);
  server.stderr.on("data", (d) => console.error(d.toString()));
  await request("initialize", { processId: process.pid, rootUri: null, initializationOptions: settings(),
    capabilities: { textDocument: { completion: { completionItem: { snippetSupport: true } } } } });
  notify("initialized", {});

  const brix = { language: "brix" };
  const open = (d) => d.languageId === "brix" && notify("textDocument/didOpen",
    { textDocument: { uri: d.uri.toString(), languageId: "brix", version: d.version, text: d.getText() } });
  vscode.workspace.textDocuments.forEach(open);
  context.subscriptions.push(
    vscode.workspace.onDidOpenTextDocument(open),
    vscode.workspace.onDidChangeTextDocument((e) => e.document.languageId === "brix" && notify("textDocument/didChange",
      { textDocument: { uri: e.document.uri.toString(), version: e.document.version }, contentChanges: [{ text: e.document.getText() }] })),
    vscode.workspace.onDidCloseTextDocument((d) => d.languageId === "brix" && notify("textDocument/didClose", { textDocument: { uri: d.uri.toString() } })),
    vscode.workspace.onDidChangeConfiguration((e) => e.affectsConfiguration("brix") && notify("workspace/didChangeConfiguration", { settings: { brix: settings() } })),
    vscode.languages.registerCodeActionsProvider(brix, {
      async provideCodeActions(document, range, context) {
        const found = await request("textDocument/codeAction", { textDocument: { uri: document.uri.toString() },
          range: { start: fromPosition(range.start), end: fromPosition(range.end) }, context: { diagnostics: [] } });
        return (found || []).map((a) => {
          const action = new vscode.CodeAction(a.title, vscode.CodeActionKind.QuickFix);
          action.edit = toEdit(a.edit && a.edit.changes);
          action.isPreferred = a.isPreferred;
          return action;
        });
      },
    }),
    vscode.languages.registerCompletionItemProvider(brix, {
      async provideCompletionItems(document, position) {
        const found = await request("textDocument/completion", at(document, position));
        return (found ? found.items : []).map((i) => {
          const item = new vscode.CompletionItem(i.label, (i.kind || 1) - 1);
          item.detail = i.detail;
          const text = i.insertTextFormat === 2 ? new vscode.SnippetString(i.insertText) : i.insertText;
          if (i.textEdit) { item.range = toRange(i.textEdit.range); item.insertText = i.textEdit.newText; } else if (text) item.insertText = text;
          return item;
        });
      },
    }, "$"),
    vscode.languages.registerDefinitionProvider(brix, {
      async provideDefinition(document, position) {
        const found = await request("textDocument/definition", at(document, position));
        return found ? toLocation(found) : null;
      },
    }),
    vscode.languages.registerReferenceProvider(brix, {
      async provideReferences(document, position, context) {
        const found = await request("textDocument/references", { ...at(document, position), context: { includeDeclaration: context.includeDeclaration } });
        return (found || []).map(toLocation);
      },
    }),
    vscode.languages.registerRenameProvider(brix, {
      async provideRenameEdits(document, position, newName) {
        const found = await request("textDocument/rename", { ...at(document, position), newName });
        return toEdit(found && found.changes);
      },
    }),
    vscode.languages.registerHoverProvider(brix, {
      async provideHover(document, position) {
        const found = await request("textDocument/hover", at(document, position));
        return found ? new vscode.Hover(new vscode.MarkdownString(found.contents.value)) : null;
      },
    }),
    vscode.languages.registerDocumentSymbolProvider(brix, {
      async provideDocumentSymbols(document) {
        const found = await request("textDocument/documentSymbol", { textDocument: { uri: document.uri.toString() } });
        return (found || []).map((s) => new vscode.DocumentSymbol(s.name, s.detail || "", s.kind - 1, toRange(s.range), toRange(s.selectionRange)));
      },
    }),
    vscode.languages.registerDocumentFormattingEditProvider(brix, {
      async provideDocumentFormattingEdits(document) {
        const found = await request("textDocument/formatting", { textDocument: { uri: document.uri.toString() }, options: { tabSize: 4, insertSpaces: true } });
        return (found || []).map((e) => vscode.TextEdit.replace(toRange(e.range), e.newText));
      },
    }),
  );
}

function activate(context) {
  start(context).catch((e) => vscode.window.showErrorMessage(`brix-lsp: ${e.message}`));
}
function deactivate() {
  if (!server) return undefined;
  return request("shutdown", null).then(() => { notify("exit", null); server = null; });
}
module.exports = { activate, deactivate };
