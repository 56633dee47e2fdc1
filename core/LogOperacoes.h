#pragma once
// LogOperacoes, in the station folder: one line for every operator action, whoever asked and from
// whatever face of the program, so a price, a block, a totalizer, the clock or the interval can be
// traced to a person. One fixed layout, fields separated by " | ":
//
//   09/12/2025 14:03:28 | maria | preço | 03, 06 | 03: 5,899 → 6,100; 06: 5,899 → 6,200 | ok
//
// date and long time of the action's end; the user; the action ("preço", "bloqueia", "libera",
// "bloqueia e libera", "lê encerrantes", "grava encerrantes", "captura", "relógio", "intervalo",
// "reenvia diário"); the station's nozzle codes, ", " between them ("-" for none); what changed,
// before → after, "; " between nozzles; the result: "ok" when every part succeeded, "parcial: "
// when some part did and some did not, "falhou: " when nothing was done, each followed by the
// operator's message. A "|" or a line break inside a field becomes a "/" or a blank, so a line
// always has six fields.
#include <QDateTime>
#include <QString>
#include <QStringList>

class TContexto;
struct TConfiguracaoRegional;

struct TOperacaoRegistrada {
    QString Usuario;
    QString Acao;
    QStringList Bicos;
    QString Mudanca;   // "antes → depois", per nozzle where it is per nozzle
    QString Resultado; // "ok", "parcial: ...", "falhou: ..."
};

QString MontaLinhaOperacao(const QDateTime& momento, const TOperacaoRegistrada& operacao,
                           const TConfiguracaoRegional& regional);

// On the engine's thread: appends the line (file rules of TLogArquivo; a line that cannot be
// written is kept and written later). Never raises: returns the warning when the line could not be
// written (empty when it was), after trying to say so in the error log. The action's own outcome
// is never changed by it.
QString RegistraOperacao(TContexto& contexto, const TOperacaoRegistrada& operacao);

// The parts of a result.
inline const QString kResultadoOk = QStringLiteral("ok");
inline QString ResultadoParcial(const QString& texto) { return QStringLiteral("parcial: ") + texto; }
inline QString ResultadoFalhou(const QString& texto) { return QStringLiteral("falhou: ") + texto; }
