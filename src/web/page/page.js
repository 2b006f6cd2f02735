'use strict';
// The page follows the run through its event stream; a new stream begins
// with the whole state, later messages carry the state and the new lines.
(function () {
  const form = document.querySelector('meta[name="quillet-form"]').content;
  const $ = (id) => document.getElementById(id);
  const OUTCOMES = { waiting: '未开始', running: '抢票中', booked: '已订到', manual_check: '需人工核对', stopped: '已停止' };
  const MAX_LINES = 200;
  let marked = new Set();
  let captchaId = 0;
  let qrId = 0;

  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function row(dl, term, value) {
    dl.append(el('dt', '', term), el('dd', '', value));
    return dl.lastChild;
  }
  function orderText(o) {
    return o.date + ' ' + o.train + ' ' + o.seat + ' · ' + o.passengers.join('、');
  }

  function showWishes(wishes) {
    const box = $('wishes');
    box.replaceChildren();
    if (!wishes.length) box.append(el('p', 'note', '暂无'));
    for (const w of wishes) {
      const card = el('div', 'card wish');
      card.id = 'wish-' + w.wish;
      const h = el('h3');
      h.append(el('span', '', '任务 ' + w.wish), el('span', 'badge' + (w.outcome === 'booked' ? ' ok' : w.outcome === 'manual_check' ? ' bad' : ''), OUTCOMES[w.outcome] || w.outcome));
      const dl = el('dl');
      row(dl, '乘客', w.passengers.join('、'));
      row(dl, '日期', w.dates.join('、'));
      row(dl, '车次', w.trains.length ? w.trains.join('、') : '全部');
      row(dl, '席别', w.classes.join('、'));
      row(dl, '尝试次数', String(w.attempts)).className = 'attempts';
      if (w.lastQuery) {
        let seen = w.lastQuery.at;
        if (w.lastQuery.failed) seen += ' 查询失败（' + w.lastQuery.date + '）：' + w.lastQuery.reason;
        row(dl, '上次查询', seen);
      }
      if (w.seen) row(dl, '余票', w.seen.map((c) => c.class + ' ' + (c.tickets ? c.tickets + '（' + c.train + ' ' + c.date + '）' : '—')).join('、'));
      if (w.saleAt) row(dl, '下次查询', '等待 ' + w.saleAt + ' 开售');
      else if (w.nextQueryAt) row(dl, '下次查询', w.nextQueryAt);
      if (w.waitlist) row(dl, '候补订单', (w.waitlist.id || '') + ' ' + ({waiting: '排队中', refused: '未能候补', cancelled: '已取消', expired: '已过期'}[w.waitlist.state] || w.waitlist.state));
      if (w.lastRefusal && !w.ending) row(dl, '上次下单', w.lastRefusal.at + ' ' + w.lastRefusal.message);
      if (w.ending) row(dl, '结果', orderText(w.ending) + (w.ending.orderId ? ' 订单号 ' + w.ending.orderId : '') + ' ' + w.ending.message);
      card.append(h, dl);
      box.append(card);
    }
  }

  function showBookings(bookings) {
    const box = $('bookings');
    box.replaceChildren();
    if (!bookings.length) box.append(el('p', 'note', '暂无'));
    for (const b of bookings) {
      const card = el('div', 'card booking');
      const dl = el('dl');
      card.append(el('b', '', '订单号 ' + (b.orderId || '（未给出）')), el('div', '', orderText(b)), el('div', 'note', '任务 ' + b.wish + ' · ' + b.at + (b.payBy ? ' · 请于 ' + b.payBy + ' 前支付' : '')));
      card.append(dl);
      box.append(card);
    }
  }

  function showLines(lines, whole) {
    const list = $('lines');
    if (whole) list.replaceChildren();
    for (const line of lines) {
      const li = el('li', '', line.text);
      li.dataset.n = line.n;
      list.prepend(li);
    }
    while (list.children.length > MAX_LINES) list.lastChild.remove();
  }

  function showCells() {
    const cells = $('cells');
    if (!cells.children.length) {
      for (let i = 1; i <= 8; i++) {
        const b = el('button', '', '');
        b.type = 'button';
        b.dataset.cell = i;
        b.setAttribute('aria-label', '格子 ' + i);
        b.addEventListener('click', () => {
          if (marked.has(i)) marked.delete(i); else marked.add(i);
          showCells();
        });
        cells.append(b);
      }
    }
    for (const b of cells.children) {
      const on = marked.has(Number(b.dataset.cell));
      b.classList.toggle('marked', on);
      b.textContent = on ? '√' : '';
    }
  }

  function showSignIn(s) {
    const need = s.signIn && !s.signedIn;
    $('sign-in').hidden = !need;
    $('captcha').hidden = !(need && s.signIn.kind === 'captcha');
    $('qr').hidden = !(need && s.signIn.kind === 'qr');
    if (!need) return;
    if (s.signIn.kind === 'captcha' && s.signIn.id !== captchaId) {
      captchaId = s.signIn.id;
      marked = new Set();
      $('captcha-picture').src = '/captcha.jpg?id=' + captchaId;
      $('captcha-note').textContent = '';
      $('captcha-send').disabled = false;
      showCells();
    }
    if (s.signIn.kind === 'qr' && s.signIn.id !== qrId) {
      qrId = s.signIn.id;
      $('qr-picture').src = '/qr.svg?id=' + qrId;
      $('qr-content').textContent = s.signIn.content;
    }
  }

  function clockText(s) {
    const c = s.clock;
    if (!c) return '尚未测量（本机时间 ' + s.now + '）';
    if (!c.read) return '无法读取，按本机时间计（' + s.now + '）';
    const ahead = c.offsetMs >= 0 ? '快' : '慢';
    return '比本机' + ahead + ' ' + Math.abs(c.offsetMs) + ' 毫秒（±' + c.uncertaintyMs + ' 毫秒，' + c.probes + ' 次探测）';
  }

  function show(s, whole) {
    $('account-name').textContent = s.account || '—';
    const badge = $('signed-in');
    badge.textContent = s.signedIn ? '已登录' : s.lapsed ? '未登录（登录已失效）' : '未登录';
    badge.className = 'badge ' + (s.signedIn ? 'ok' : 'bad');
    $('clock').textContent = clockText(s);
    showWishes(s.wishes);
    showBookings(s.bookings);
    showLines(s.lines, whole);
    showSignIn(s);
    if (s.stopping) {
      $('stop').disabled = true;
      $('stop').textContent = '正在停止';
    }
    document.body.dataset.version = String(Number(document.body.dataset.version || 0) + 1);
  }

  function post(path, body) {
    return fetch(path, { method: 'POST', headers: { 'X-Quillet-Form': form, 'Content-Type': 'text/plain' }, body: body, credentials: 'same-origin' });
  }

  $('stop').addEventListener('click', () => {
    if (!confirm('确定要停止抢票吗？')) return;
    $('stop').disabled = true;
    post('/stop', '').catch(() => { $('stop').disabled = false; });
  });
  $('captcha-send').addEventListener('click', () => {
    if (!marked.size) { $('captcha-note').textContent = '请先点选格子。'; return; }
    $('captcha-send').disabled = true;
    post('/captcha?id=' + captchaId, [...marked].sort().join(',')).then((r) => {
      $('captcha-note').textContent = r.ok ? '已提交，正在登录…' : '未被接受，请重试。';
      if (!r.ok) $('captcha-send').disabled = false;
    }, () => { $('captcha-send').disabled = false; });
  });

  function connect() {
    const source = new EventSource('/events');
    source.addEventListener('open', () => { $('link').textContent = '实时更新中'; });
    source.addEventListener('snapshot', (e) => show(JSON.parse(e.data), true));
    source.addEventListener('change', (e) => show(JSON.parse(e.data), false));
    source.addEventListener('error', () => {
      if (source.readyState === EventSource.CLOSED) {
        // Refused (too many pages, or the run has ended): try again later.
        $('link').textContent = '连接已断开，稍后重试…';
        setTimeout(connect, 5000);
      } else {
        $('link').textContent = '连接中断，正在重连…';
      }
    });
  }
  connect();
})();
