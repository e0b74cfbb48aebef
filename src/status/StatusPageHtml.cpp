#include "status/StatusPageHtml.h"

#include <string_view>

#include <fmt/format.h>

#include "base/Texts.h"
#include "status/StatusJson.h"

namespace lv {

namespace {

std::string Html(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

const char* LanguageCode() { return CurrentLanguage() == Language::English ? "en" : "fr"; }

constexpr const char* kStyle = R"CSS(
:root{color-scheme:light dark;--ok:#1b7f3b;--warn:#b36b00;--bad:#b3261e;--mute:#777}
*{box-sizing:border-box}
body{font:16px/1.35 system-ui,sans-serif;margin:0;padding:0 0 2em}
header{position:sticky;top:0;background:Canvas;border-bottom:1px solid #8884;padding:.5em .8em;display:flex;flex-wrap:wrap;gap:.3em 1em;align-items:baseline}
header h1{font-size:1.15em;margin:0}
#clock{font-variant-numeric:tabular-nums;font-weight:600}
#banner{display:none;background:var(--bad);color:#fff;padding:.6em .8em;font-weight:700}
body.down #banner,body.stale #banner{display:block}
body.down main{opacity:.45}
section{padding:.4em .8em}
h2{font-size:1em;margin:.6em 0 .3em;text-transform:uppercase;letter-spacing:.04em;color:var(--mute)}
.boxes{display:grid;grid-template-columns:repeat(auto-fill,minmax(15em,1fr));gap:.5em}
.box{border:1px solid #8886;border-radius:.5em;padding:.5em .6em}
.box.undefined{opacity:.5}
.state{display:inline-block;border-radius:1em;padding:0 .6em;color:#fff;background:var(--mute);font-weight:600}
.connected .state{background:var(--ok)}
.reconnecting .state{background:var(--warn)}
.silent .state{background:var(--warn)}
.not-connected .state{background:var(--bad)}
.lost{color:var(--bad);font-weight:700;margin-top:.3em}
.small{color:var(--mute);font-size:.85em;white-space:pre-line}
dl{display:grid;grid-template-columns:auto 1fr;gap:.1em .8em;margin:0}
dt{color:var(--mute)}dd{margin:0;font-variant-numeric:tabular-nums;word-break:break-all}
table{border-collapse:collapse;width:100%;font-variant-numeric:tabular-nums}
th,td{text-align:left;padding:.2em .4em;border-bottom:1px solid #8883}
ul{margin:0;padding-left:1.1em}
.alert{color:var(--bad)}
.none{color:var(--mute)}
)CSS";

constexpr const char* kScript = R"JS(
'use strict';
let lastAnswer = 0;
function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined && text !== null) e.textContent = String(text);
  return e;
}
function fill(id, children) {
  const box = document.getElementById(id);
  box.replaceChildren(...children);
}
function pair(dl, name, value) { dl.append(el('dt', '', name), el('dd', '', value)); }
function render(s) {
  document.getElementById('clock').textContent = s.clock;
  fill('boxes', s.boxes.map(b => {
    const card = el('div', 'box ' + b.state + (b.lost ? ' is-lost' : ''));
    card.dataset.box = b.number;
    card.dataset.state = b.state;
    const head = el('div');
    head.append(el('strong', '', T.box + ' ' + b.number + ' '), el('span', 'state', b.stateText));
    card.append(head);
    if (b.declared) {
      const dl = el('dl');
      pair(dl, T.reads, b.reads);
      pair(dl, T.lastRead, b.lastReadAgeSeconds < 0 ? T.noRead : b.lastReadText);
      card.append(dl);
      if (b.label) card.append(el('div', 'small', b.label));
    }
    if (b.lost) card.append(el('div', 'lost', b.lostText));
    return card;
  }));
  const link = el('dl');
  pair(link, T.state, s.link.stateText);
  pair(link, T.waiting, s.link.waiting);
  const linkBox = document.getElementById('link');
  linkBox.dataset.state = s.link.state;
  fill('link', [link]);
  const file = el('dl');
  pair(file, T.file, s.journal.file || '-');
  pair(file, T.lines, s.journal.lines);
  pair(file, T.pending, s.journal.pendingLines);
  fill('file', [file]);
  fill('alerts', s.alerts.length ? s.alerts.map(a => el('li', 'alert', a.time + '  ' + a.text))
                                 : [el('li', 'none', T.noAlert)]);
  fill('detections', s.detections.length ? s.detections.map(d => {
    const row = el('tr');
    row.dataset.number = d.number;
    row.append(el('td', '', d.time), el('td', '', d.box > 0 ? d.box : '-'), el('td', 'bib', d.bib),
               el('td', '', d.runner));
    return row;
  }) : [(() => { const r = el('tr'); const c = el('td', 'none', T.noDetection); c.colSpan = 4; r.append(c); return r; })()]);
}
function problem(text) {
  document.getElementById('banner').textContent = text;
}
async function poll() {
  const stop = new AbortController();
  const timer = setTimeout(() => stop.abort(), WAIT_MS);
  try {
    const answer = await fetch('status.json', {cache: 'no-store', credentials: 'same-origin', signal: stop.signal});
    if (answer.status === 401) { location.reload(); return; }
    if (!answer.ok) throw new Error(String(answer.status));
    const s = await answer.json();
    render(s);
    lastAnswer = Date.now();
    document.body.classList.remove('down');
    document.body.classList.toggle('stale', s.stale);
    if (s.stale) problem(T.stale + ' (' + s.snapshotAgeSeconds + ' s)');
  } catch (e) {
    document.body.classList.add('down');
    problem(T.down + (lastAnswer ? ' ' + T.since + ' ' + new Date(lastAnswer).toLocaleTimeString() : ''));
  } finally {
    clearTimeout(timer);
    setTimeout(poll, POLL_MS);
  }
}
poll();
)JS";

// The page's own texts, for its script.
std::string ScriptTexts() {
    const std::pair<const char*, const char*> texts[] = {
        {"box", Tr("Box", "Boîtier")},
        {"reads", Tr("Reads", "Lectures")},
        {"lastRead", Tr("Last read", "Dernière lecture")},
        {"noRead", Tr("none yet", "aucune encore")},
        {"state", Tr("State", "État")},
        {"waiting", Tr("Waiting to be sent", "En attente d'envoi")},
        {"file", Tr("Detection file", "Fichier de détections")},
        {"lines", Tr("Lines", "Lignes")},
        {"pending", Tr("Lines not yet written", "Lignes pas encore écrites")},
        {"noAlert", Tr("No alert in the last hour", "Aucune alerte dans la dernière heure")},
        {"noDetection", Tr("No detection yet", "Aucune détection encore")},
        {"down", Tr("Lumivane is not answering", "Lumivane ne répond pas")},
        {"since", Tr("since", "depuis")},
        {"stale", Tr("Lumivane has stopped updating its status", "Lumivane ne met plus son état à jour")},
    };
    std::string out = "const T = {";
    bool first = true;
    for (const auto& [name, text] : texts) {
        if (!first) out += ',';
        first = false;
        out += fmt::format("{}:{}", name, JsonQuoted(text));
    }
    out += "};\n";
    out += fmt::format("const POLL_MS = {}, WAIT_MS = {};\n", kStatusPollMs, kStatusAnswerWaitMs);
    return out;
}

std::string Head(const char* title) {
    return fmt::format(
        "<!DOCTYPE html>\n<html lang=\"{}\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
        "<title>{}</title><style>{}</style></head>\n",
        LanguageCode(), Html(title), kStyle);
}

}  // namespace

std::string StatusPageHtml() {
    std::string page = Head(Tr("Lumivane status", "État de Lumivane"));
    page += fmt::format(
        "<body><header><h1>{}</h1><span>{} <span id=\"clock\">-</span></span></header>\n"
        "<div id=\"banner\" role=\"alert\"></div>\n<main>\n"
        "<section><h2>{}</h2><div id=\"boxes\" class=\"boxes\"></div></section>\n"
        "<section><h2>{}</h2><div id=\"link\"></div></section>\n"
        "<section><h2>{}</h2><div id=\"file\"></div></section>\n"
        "<section><h2>{}</h2><ul id=\"alerts\"></ul></section>\n"
        "<section><h2>{}</h2><table><thead><tr><th>{}</th><th>{}</th><th>{}</th><th>{}</th></tr></thead>"
        "<tbody id=\"detections\"></tbody></table></section>\n"
        "</main>\n<script>\n",
        Html(Tr("Lumivane status", "État de Lumivane")), Html(Tr("Computer's clock:", "Horloge de l'ordinateur :")),
        Html(Tr("Boxes", "Boîtiers")), Html(Tr("Timing application", "Application de chronométrage")),
        Html(Tr("Detection file", "Fichier de détections")), Html(Tr("Alerts of the last hour", "Alertes de la dernière heure")),
        Html(Tr("Last 50 detections", "50 dernières détections")), Html(Tr("Time", "Temps")),
        Html(Tr("Box", "Boîtier")), Html(Tr("Bib", "Dossard")), Html(Tr("Runner", "Coureur")));
    page += ScriptTexts();
    page += kScript;
    page += "</script></body></html>\n";
    return page;
}

std::string TokenPageHtml(bool wrong) {
    std::string page = Head(Tr("Lumivane status", "État de Lumivane"));
    page += fmt::format(
        "<body><header><h1>{}</h1></header><main><section>"
        "<form method=\"post\" action=\"login\"><p><label>{}<br>"
        "<input type=\"password\" name=\"token\" autocomplete=\"current-password\" autofocus></label></p>"
        "{}<p><button type=\"submit\">{}</button></p></form></section></main></body></html>\n",
        Html(Tr("Lumivane status", "État de Lumivane")),
        Html(Tr("Token of this status page:", "Jeton de cette page d'état :")),
        wrong ? "<p class=\"alert\">" + Html(Tr("This is not the token.", "Ce n'est pas le jeton.")) + "</p>"
              : std::string(),
        Html(Tr("Show the status", "Afficher l'état")));
    return page;
}

}  // namespace lv
