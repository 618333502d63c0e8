// A flame graph's own script, embedded in its SVG: the status line on
// hover and focus, zoom on click or Enter (Escape and "Reset zoom" undo
// it), search by regular expression (Ctrl-F or "Search"), keys that move
// between frames, and the view kept in the URL (?s=PATTERN&z=GRAPH.FRAME).
//
// The SVG gives each graph as a <g class="graph"> whose frames come in
// depth-first order, a parent before its children; a frame's depth is
// its row, from the graph's data-top and data-rows.
(function () {
  'use strict';
  const svg = document.documentElement;
  const inverted = svg.getAttribute('data-inverted') === '1';
  const margin = Number(svg.getAttribute('data-margin'));
  const full = Number(svg.getAttribute('width')) - 2 * margin;
  const row = 16;
  const byId = (id) => document.getElementById(id);
  const status = byId('status');
  const matched = byId('matched');
  const reset = byId('reset');
  let pattern = null;

  function readGraph(el, number) {
    const top = Number(el.getAttribute('data-top'));
    const rows = Number(el.getAttribute('data-rows'));
    const frames = [];
    const path = [];
    for (const g of el.querySelectorAll('g.frame')) {
      const rect = g.querySelector('rect');
      const title = g.querySelector('title').textContent;
      const level = Math.round((Number(rect.getAttribute('y')) - top) / row);
      const depth = inverted ? level : rows - 1 - level;
      const f = {
        g, rect, text: g.querySelector('text'), title, name: title.split('\n')[0],
        x: Number(rect.getAttribute('x')), w: Number(rect.getAttribute('width')),
        y: rect.getAttribute('y'), cost: Number(g.getAttribute('data-cost')),
        depth, parent: depth > 0 ? path[depth - 1] : null, children: [], index: frames.length, end: 0,
      };
      if (f.parent) f.parent.children.push(f);
      path[depth] = f;
      g.setAttribute('tabindex', '0');
      g.setAttribute('aria-label', title);
      g.flame = f;
      frames.push(f);
    }
    // Each frame's subtree is the run of frames from it to its end.
    for (let i = frames.length - 1; i >= 0; i--) {
      const f = frames[i];
      f.end = f.children.length ? f.children[f.children.length - 1].end : i + 1;
      f.graph = number;
    }
    return { frames, zoom: frames[0] };
  }

  const graphs = Array.from(svg.querySelectorAll('g.graph'), readGraph);

  function percent(part, whole) {
    return (whole > 0 ? (100 * part) / whole : 0).toFixed(2) + ' %';
  }

  // The frame's name cut to what fits, as the SVG first drew it.
  function label(f, x, w) {
    const fits = w > 6 ? Math.floor((w - 6) / 6.6) : 0;
    const chars = Array.from(f.name);
    let text = '';
    if (fits >= 3) text = fits >= chars.length ? f.name : chars.slice(0, fits - 2).join('') + '..';
    f.text.textContent = text;
    f.text.setAttribute('x', x.toFixed(2));
    f.text.setAttribute('y', f.y);
  }

  function place(f, x, w, shown, dim) {
    f.g.classList.toggle('hide', !shown);
    f.g.classList.toggle('dim', dim);
    if (!shown) return;
    f.rect.setAttribute('x', x.toFixed(2));
    f.rect.setAttribute('width', w.toFixed(2));
    label(f, x, w);
  }

  // Zooms a graph to f: its subtree fills the width, its ancestors stay,
  // dimmed, and the rest hides.
  function zoom(f, keepUrl) {
    const graph = graphs[f.graph];
    graph.zoom = f;
    const scale = f.w > 0 ? full / f.w : 0;
    graph.frames.forEach((g, i) => {
      const inside = i >= f.index && i < f.end;
      if (inside) place(g, margin + (g.x - f.x) * scale, g.w * scale, true, false);
      else place(g, margin, full, false, false);
    });
    for (let a = f.parent; a; a = a.parent) place(a, margin, full, true, true);
    reset.classList.toggle('hide', graphs.every((g) => g.zoom === g.frames[0]));
    showMatches();
    if (!keepUrl) keepView();
  }

  function unzoom() {
    graphs.forEach((g) => zoom(g.frames[0], true));
    keepView();
  }

  // The share of the zoomed frame (or of all) whose stacks hold a match:
  // the topmost matching frames' costs, so that each sample counts once.
  function matchedCost(graph, from) {
    for (let a = from; a; a = a.parent) if (a.g.classList.contains('match')) return from.cost;
    let sum = 0;
    for (let i = from.index; i < from.end; ) {
      const f = graph.frames[i];
      if (f.g.classList.contains('match')) {
        sum += f.cost;
        i = f.end;
      } else i++;
    }
    return sum;
  }

  function showMatches() {
    if (!pattern) {
      matched.textContent = '';
      return;
    }
    const graph = graphs[0];
    const root = graph.frames[0];
    let text = 'Matched: ' + percent(matchedCost(graph, root), root.cost);
    if (graph.zoom !== root)
      text = 'Matched: ' + percent(matchedCost(graph, graph.zoom), graph.zoom.cost) + ' of ' + graph.zoom.name + ', ' +
        percent(matchedCost(graph, root), root.cost) + ' of all';
    matched.textContent = text;
  }

  function search(text, keepUrl) {
    try {
      pattern = text ? new RegExp(text) : null;
    } catch (e) {
      status.textContent = 'Not a regular expression: ' + text;
      return;
    }
    graphs.forEach((graph) => graph.frames.forEach((f, i) => f.g.classList.toggle('match', !!pattern && i > 0 && pattern.test(f.name))));
    byId('search').textContent = pattern ? 'Search: ' + text : 'Search';
    showMatches();
    if (!keepUrl) keepView();
  }

  function askSearch() {
    const text = window.prompt('Search for frames matching a regular expression (empty: none)', pattern ? pattern.source : '');
    if (text !== null) search(text, false);
  }

  // The view in the URL, so that a link opens it again; a file URL may
  // refuse it, and the view then lives on the page only.
  function keepView() {
    const query = new URLSearchParams();
    if (pattern) query.set('s', pattern.source);
    graphs.forEach((g, n) => {
      if (g.zoom !== g.frames[0]) query.append('z', n + '.' + g.zoom.index);
    });
    try {
      history.replaceState(null, '', location.pathname + (query.toString() ? '?' + query : ''));
    } catch (e) {
      // left as it is
    }
  }

  function describe(f) {
    const graph = graphs[f.graph];
    let text = f.title.split('\n').join(', ');
    if (graph.zoom !== graph.frames[0] && f.index >= graph.zoom.index && f.index < graph.zoom.end)
      text += '; ' + percent(f.cost, graph.zoom.cost) + ' of ' + graph.zoom.name;
    status.textContent = text;
  }

  const frameOf = (node) => (node && node.closest ? node.closest('g.frame') : null);

  svg.addEventListener('mouseover', (e) => {
    const g = frameOf(e.target);
    if (g) describe(g.flame);
  });
  svg.addEventListener('focusin', (e) => {
    const g = frameOf(e.target);
    if (g) describe(g.flame);
  });
  svg.addEventListener('click', (e) => {
    const g = frameOf(e.target);
    if (g) zoom(g.flame, false);
    else if (e.target === reset) unzoom();
    else if (e.target === byId('search')) askSearch();
  });

  // Arrows: towards the root, to the first child, to a sibling; as drawn,
  // so that up is up whichever way the graph grows.
  function neighbour(f, key) {
    const rootward = inverted ? 'ArrowUp' : 'ArrowDown';
    const leafward = inverted ? 'ArrowDown' : 'ArrowUp';
    if (key === rootward) return f.parent;
    if (key === leafward) return f.children.find((c) => !c.g.classList.contains('hide')) || null;
    const siblings = f.parent ? f.parent.children : [];
    const at = siblings.indexOf(f) + (key === 'ArrowRight' ? 1 : -1);
    return key === 'ArrowRight' || key === 'ArrowLeft' ? siblings[at] || null : null;
  }

  document.addEventListener('keydown', (e) => {
    if ((e.ctrlKey || e.metaKey) && e.key.toLowerCase() === 'f') {
      e.preventDefault();
      askSearch();
      return;
    }
    if (e.key === 'Escape') {
      unzoom();
      return;
    }
    const g = frameOf(document.activeElement);
    if (!g) return;
    if (e.key === 'Enter') {
      zoom(g.flame, false);
      return;
    }
    const next = neighbour(g.flame, e.key);
    if (next && !next.g.classList.contains('hide')) {
      e.preventDefault();
      next.g.focus();
    }
  });

  const query = new URLSearchParams(location.search);
  if (query.get('s')) search(query.get('s'), true);
  for (const z of query.getAll('z')) {
    const [n, i] = z.split('.').map(Number);
    if (graphs[n] && graphs[n].frames[i]) zoom(graphs[n].frames[i], true);
  }
})();
