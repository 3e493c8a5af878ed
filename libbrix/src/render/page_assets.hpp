// The page's inline style and script. Nothing is fetched: the page works from
// a file, offline, and prints.
#pragma once

#include <string_view>

namespace brix::detail {

inline constexpr std::string_view kPageStyle = R"css(
:root{color-scheme:light dark;--bg:#fff;--fg:#1f2328;--muted:#59636e;--panel:#f6f8fa;--chip:#eaeef2;--edge:#d0d7de;--accent:#0550ae;--mark:#fff8c5;
--k:#cf222e;--nb:#8250df;--nv:#953800;--no:#0550ae;--mi:#0a3069;--s2:#0a3069;--c1:#59636e;--err:#cf222e}
@media (prefers-color-scheme:dark){:root{--bg:#0d1117;--fg:#e6edf3;--muted:#9198a1;--panel:#151b23;--chip:#262c36;--edge:#3d444d;--accent:#4493f8;--mark:#3b2e00;
--k:#ff7b72;--nb:#d2a8ff;--nv:#ffa657;--no:#79c0ff;--mi:#a5d6ff;--s2:#a5d6ff;--c1:#9198a1;--err:#ff7b72}}
*{box-sizing:border-box}
body{margin:0;background:var(--bg);color:var(--fg);font:15px/1.45 system-ui,-apple-system,"Segoe UI",sans-serif}
header{position:sticky;top:0;z-index:1;display:flex;flex-wrap:wrap;gap:.5rem 1rem;align-items:center;padding:.6rem 1rem;background:var(--panel);border-bottom:1px solid var(--edge)}
h1{font-size:1.1rem;margin:0 1rem 0 0}
.tools{display:flex;flex-wrap:wrap;gap:.5rem;align-items:center}
button,input{font:inherit;color:inherit;background:var(--bg);border:1px solid var(--edge);border-radius:6px;padding:.25rem .6rem}
button:hover{border-color:var(--accent)}
:focus-visible{outline:2px solid var(--accent);outline-offset:2px}
#search-status{color:var(--muted);font-size:.9em}
main{display:grid;grid-template-columns:minmax(0,1fr) minmax(0,1fr);gap:1rem;padding:1rem}
@media (max-width:900px){main{grid-template-columns:minmax(0,1fr)}}
#tree,.source{overflow:auto;max-height:calc(100vh - 5.5rem);border:1px solid var(--edge);border-radius:8px;padding:.5rem .75rem}
.reqs{list-style:none;margin:0;padding:0}
.req{display:block;content-visibility:auto;contain-intrinsic-size:auto 4.5em;margin:.35rem 0;padding:.35rem .5rem;border-left:3px solid var(--accent);background:var(--panel);border-radius:0 6px 6px 0}
summary{cursor:pointer}
.desc{font-weight:600}
.sels{list-style:none;margin:.3rem 0 .1rem;padding:0 0 0 1rem;display:flex;flex-wrap:wrap;gap:.3rem}
.sels>.nested{flex-basis:100%;display:block}
.chip,.sel:not(.nested){display:inline-block;padding:.05rem .5rem;border-radius:999px;background:var(--chip);font-size:.9em;white-space:nowrap}
.count{font-weight:600}
.prio{color:var(--muted)}
.from{display:block;font-size:.85em;color:var(--muted);align-self:center}
.from code{color:var(--nv)}
.Range,.RangeDist,.RangeTag{border:1px dashed var(--edge)}
.Tag,.TagCode,.Dist,.DistCode,.Placement{font-style:italic}
a.goto{font-size:.85em;color:var(--accent)}
[hidden]{display:none!important}
.source pre{margin:0;font:13px/1.45 ui-monospace,SFMono-Regular,Menlo,Consolas,monospace}
.block{display:block;content-visibility:auto;contain-intrinsic-size:auto 3770px}
.ln::before{content:attr(id);display:inline-block;width:3.5em;padding-right:1em;text-align:right;color:var(--muted);user-select:none}
.ln.mark{background:var(--mark)}
.k,.kd{color:var(--k);font-weight:600}.nb{color:var(--nb)}.nv{color:var(--nv)}.no{color:var(--no)}.mi,.o{color:var(--mi)}
.s2{color:var(--s2)}.c1{color:var(--c1);font-style:italic}.err{color:var(--err);text-decoration:wavy underline}
@media print{header .tools,.source,a.goto{display:none}main{display:block;padding:0}#tree{max-height:none;overflow:visible;border:0}
.req{break-inside:avoid;background:none}.chip{border:1px solid #888}}
)css";

// Expand and collapse all, the course search, marking a requirement's lines
// when its link is followed, and "/" to reach the search box.
inline constexpr std::string_view kPageScript = R"js(
(function () {
  var d = document, tree = d.getElementById('tree');
  var all = function () { return tree.querySelectorAll('details'); };
  function setAll(open) { all().forEach(function (e) { e.open = open; }); }
  d.getElementById('expand-all').addEventListener('click', function () { setAll(true); });
  d.getElementById('collapse-all').addEventListener('click', function () { setAll(false); });
  window.addEventListener('beforeprint', function () { setAll(true); });
  var search = d.getElementById('search'), status = d.getElementById('search-status');
  var chips = tree.querySelectorAll('.sel:not(.nested)'), reqs = tree.querySelectorAll('.req');
  var keys = null, owners = null;  // read at the first search
  search.addEventListener('input', function () {
    var q = search.value.trim().toLowerCase().replace(/\s+/g, ' '), shown = 0, hits = new Set();
    if (keys === null) {
      keys = []; owners = [];
      chips.forEach(function (c) { keys.push(c.textContent.toLowerCase()); owners.push(c.closest('.req')); });
    }
    // Only what changes is touched: a large page has hundreds of thousands of chips.
    chips.forEach(function (c, i) {
      var hit = !q || keys[i].indexOf(q) >= 0;
      if (c.hidden === hit) c.hidden = !hit;
      if (hit) { hits.add(owners[i]); if (q) shown++; }
    });
    reqs.forEach(function (r) {
      var any = !q || hits.has(r);
      if (r.hidden === any) r.hidden = !any;
    });
    if (q && hits.size <= 200) hits.forEach(function (r) {
      r.querySelectorAll('details').forEach(function (e) { e.open = true; });
    });
    status.textContent = q ? shown + (shown === 1 ? ' course' : ' courses') + ' found' : '';
  });
  var marked = [];
  tree.addEventListener('click', function (e) {
    var a = e.target.closest('a.goto');
    if (!a) return;
    marked.forEach(function (l) { l.classList.remove('mark'); });
    marked = [];
    var range = a.getAttribute('data-lines').split('-');
    for (var n = +range[0]; n <= +range[1]; n++) {
      var line = d.getElementById(String(n));
      if (line) { line.classList.add('mark'); marked.push(line); }
    }
  });
  d.addEventListener('keydown', function (e) {
    if (e.key === '/' && d.activeElement !== search) { e.preventDefault(); search.focus(); }
    if (e.key === 'Escape' && d.activeElement === search) { search.value = ''; search.dispatchEvent(new Event('input')); }
  });
})();
)js";

}  // namespace brix::detail
