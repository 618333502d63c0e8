// Drives a flame graph's SVG in an iframe as a user would: its layout
// checked against its own figures, then hover, click, Escape, Ctrl-F,
// ?s= and the keys. Each check writes "ok NAME" or "not ok NAME: WHY".
'use strict';
const params = new URLSearchParams(location.search);
const results = document.getElementById('results');
const frame = document.getElementById('graph');

function report(name, ok, why) {
  results.textContent += (ok ? 'ok ' : 'not ok ') + name + (ok ? '' : ': ' + why) + '\n';
}

function near(a, b, within) {
  return Math.abs(a - b) <= within;
}

function open(query) {
  return new Promise((resolve) => {
    frame.onload = () => resolve(frame.contentDocument);
    frame.src = params.get('svg') + query;
  });
}

function framesOf(doc) {
  const svg = doc.documentElement;
  const margin = Number(svg.getAttribute('data-margin'));
  const full = Number(svg.getAttribute('width')) - 2 * margin;
  return Array.from(doc.querySelectorAll('g.graph')[0].querySelectorAll('g.frame'), (g) => {
    const r = g.querySelector('rect');
    return {
      g, name: g.querySelector('title').textContent.split('\n')[0], cost: Number(g.getAttribute('data-cost')),
      x: Number(r.getAttribute('x')), y: Number(r.getAttribute('y')), w: Number(r.getAttribute('width')),
      margin, full, hidden: g.getAttribute('class').includes('hide'), dim: g.getAttribute('class').includes('dim'),
    };
  });
}

// Every frame sits on a frame one row below whose span holds it, and is as
// wide as its cost's share of the root.
function checkLayout(frames) {
  const root = frames[0];
  let bad = '';
  for (const f of frames.slice(1)) {
    const parent = frames.find((p) => p.y === f.y + 16 && p.x <= f.x + 0.011 && f.x + f.w <= p.x + p.w + 0.011);
    if (!parent) bad = bad || f.name + ' rests on no frame';
    if (!near(f.w, (f.cost / root.cost) * root.full, 0.011)) bad = bad || f.name + ' is ' + f.w + ' px wide';
  }
  report('layout', bad === '' && near(root.w, root.full, 0.011), bad || 'root ' + root.w);
  const labelled = frames.every((f) => f.g.getAttribute('tabindex') === '0' &&
    f.g.getAttribute('aria-label') === f.g.querySelector('title').textContent);
  report('every frame focusable, labelled by its title', labelled, 'a frame without');
}

function key(doc, name, options) {
  const target = doc.activeElement || doc.documentElement;
  target.dispatchEvent(new KeyboardEvent('keydown', Object.assign({ key: name, bubbles: true }, options)));
}

async function run() {
  const match = params.get('match');
  const share = params.get('share');
  let doc = await open('');
  let frames = framesOf(doc);
  checkLayout(frames);
  const status = () => doc.getElementById('status').textContent;
  const matched = () => doc.getElementById('matched').textContent;

  // The widest frame above the root's child: hovered, then clicked.
  const target = frames.filter((f) => f.y < frames[1].y).sort((a, b) => b.w - a.w)[0];
  target.g.dispatchEvent(new MouseEvent('mouseover', { bubbles: true }));
  report('hover shows the figures', status().startsWith(target.name + ', ') && status().includes(' %'), status());
  target.g.querySelector('rect').dispatchEvent(new MouseEvent('click', { bubbles: true }));
  frames = framesOf(doc);
  const zoomed = frames.find((f) => f.g === target.g);
  const ancestors = frames.filter((f) => f.y > zoomed.y && !f.hidden);
  const hiddenOnes = frames.filter((f) => f.hidden).length;
  report('click zooms to fill the width', near(zoomed.w, zoomed.full, 0.011) && near(zoomed.x, zoomed.margin, 0.011),
    zoomed.x + ' ' + zoomed.w);
  report('its ancestors stay, dimmed', ancestors.length > 0 && ancestors.every((f) => f.dim && near(f.w, f.full, 0.011)),
    ancestors.length + ' ancestors');
  report('the rest hides', hiddenOnes > 0 && !doc.getElementById('reset').getAttribute('class').includes('hide'),
    hiddenOnes + ' hidden');
  const child = frames.find((f) => f.y === zoomed.y - 16 && !f.hidden);
  if (child) {
    child.g.dispatchEvent(new MouseEvent('mouseover', { bubbles: true }));
    const expected = ((100 * child.cost) / zoomed.cost).toFixed(2) + ' % of ' + zoomed.name;
    report('hover while zoomed gives the share of the zoomed frame', status().endsWith(expected), status() + ' / ' + expected);
  }
  key(doc, 'Escape');
  frames = framesOf(doc);
  report('Escape undoes the zoom', frames.every((f) => !f.hidden && !f.dim) &&
    near(frames.find((f) => f.g === target.g).w, target.w, 0.011), 'still zoomed');

  // Ctrl-F asks for a pattern; the matched share counts each sample once.
  frame.contentWindow.prompt = () => match;
  key(doc, 'f', { ctrlKey: true });
  report('Ctrl-F searches', matched() === 'Matched: ' + share + ' %', matched() + ' / ' + share);
  report('matches are marked', doc.querySelectorAll('g.match').length > 0, 'none');

  // The keys: focus the target; down to its parent, up to a child,
  // right to a sibling, Enter zooms.
  target.g.focus();
  key(doc, 'ArrowDown');
  const parent = doc.activeElement;
  report('ArrowDown moves to the parent', parent !== target.g && Number(parent.querySelector('rect').getAttribute('y')) === target.y + 16,
    parent.getAttribute('aria-label'));
  key(doc, 'ArrowUp');
  report('ArrowUp moves to a child', doc.activeElement.querySelector('rect').getAttribute('y') === String(target.y), doc.activeElement.getAttribute('aria-label'));
  key(doc, 'Enter');
  report('Enter zooms', near(Number(doc.activeElement.querySelector('rect').getAttribute('width')), target.full, 0.011), 'not zoomed');
  doc.getElementById('reset').dispatchEvent(new MouseEvent('click', { bubbles: true }));
  report('"Reset zoom" undoes it', framesOf(doc).every((f) => !f.hidden && !f.dim), 'still zoomed');
  // Right moves to the next sibling: the next frame on its parent.
  const childrenOf = (p) => frames.filter((f) => f.y === p.y - 16 && f.x >= p.x - 0.011 && f.x + f.w <= p.x + p.w + 0.011);
  const parentOfTwo = frames.find((p) => childrenOf(p).length > 1);
  const siblings = parentOfTwo ? childrenOf(parentOfTwo) : [];
  siblings.sort((a, b) => a.x - b.x);
  if (siblings.length > 1) {
    siblings[0].g.focus();
    key(doc, 'ArrowRight');
  }
  report('ArrowRight moves to a sibling', siblings.length > 1 && doc.activeElement === siblings[1].g, 'no sibling reached');

  // ?s= opens with the search done.
  doc = await open('?s=' + encodeURIComponent(match));
  report('?s= opens with the search done', doc.getElementById('matched').textContent === 'Matched: ' + share + ' %',
    doc.getElementById('matched').textContent);
  results.textContent += 'done\n';
}

run().catch((e) => {
  results.textContent += 'not ok the page: ' + e + '\ndone\n';
});
