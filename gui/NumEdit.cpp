#include "NumEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Characters the key rules know besides digits, signs and separators.
constexpr QChar kRetrocesso = QChar(8);
constexpr QChar kCopia = QChar(3);
constexpr QChar kCola = QChar(22);
constexpr QChar kRecorte = QChar(24);
constexpr QChar kEnter = QChar(13);
constexpr QChar kEscape = QChar(27);

// QLineEdit's own inner margins around the text line (qlineedit_p.h).
constexpr int kMargemHorizontal = 2;

bool EhDigito(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The key as a typed character; null for keys that only move or edit (arrows, Delete, Ctrl+A...).
QChar CaractereDe(const QKeyEvent& evento)
{
    if (evento.matches(QKeySequence::Copy))
        return kCopia;
    if (evento.matches(QKeySequence::Paste))
        return kCola;
    if (evento.matches(QKeySequence::Cut))
        return kRecorte;
    switch (evento.key()) {
    case Qt::Key_Backspace:
        return kRetrocesso;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnter;
    case Qt::Key_Escape:
        return kEscape;
    default:
        break;
    }
    if (evento.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {};
    const QString texto = evento.text();
    if (texto.size() != 1 || !texto.at(0).isPrint())
        return {};
    return texto.at(0);
}

// The number in the text: digits and the first separator; a leading minus negates.
double LeTexto(const QString& texto, QChar separador)
{
    std::string digitos = "0";
    bool temSeparador = false;
    bool inteiroNaoNulo = false;
    for (QChar c : texto) {
        if (EhDigito(c)) {
            digitos += char(c.unicode());
            inteiroNaoNulo = inteiroNaoNulo || (!temSeparador && c != QLatin1Char('0'));
        } else if (c == separador && !temSeparador) {
            digitos += '.';
            temSeparador = true;
        }
    }
    double valor = 0;
    const auto [fim, erro] = std::from_chars(digitos.data(), digitos.data() + digitos.size(), valor);
    (void)fim;
    if (erro == std::errc::result_out_of_range)
        // Hundreds of digits: saturate rather than fail, since reading the text never fails.
        valor = inteiroNaoNulo ? std::numeric_limits<double>::max() : 0.0;
    if (valor != 0 && texto.startsWith(QLatin1Char('-')))
        valor = -valor;
    return valor;
}

// Fixed-point text with `casas` decimals, rounded half away from zero on the shortest decimal
// form of the value (so 0.125 gives 0,13 as typed, not 0,12 from its binary neighbour).
// `milhar` null: no grouping.
QString TextoFixo(double valor, int casas, QChar decimal, QChar milhar)
{
    if (!std::isfinite(valor))
        valor = 0; // the text can only hold a finite number
    char buffer[1200]; // the longest shortest form of a double is about 330 characters
    const auto fim = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(valor),
                                   std::chars_format::fixed).ptr;
    const std::string forma(buffer, fim);
    const auto ponto = forma.find('.');
    std::string inteiro = forma.substr(0, ponto);
    std::string fracao = ponto == std::string::npos ? std::string() : forma.substr(ponto + 1);

    const bool sobe = int(fracao.size()) > casas && fracao[casas] >= '5';
    fracao.resize(casas, '0');
    if (sobe) {
        std::string todos = inteiro + fracao;
        int i = int(todos.size()) - 1;
        for (; i >= 0 && todos[i] == '9'; --i)
            todos[i] = '0';
        if (i < 0)
            todos.insert(todos.begin(), '1');
        else
            ++todos[i];
        inteiro = todos.substr(0, todos.size() - casas);
        fracao = todos.substr(todos.size() - casas);
    }
    const bool zero = std::all_of(inteiro.begin(), inteiro.end(), [](char c) { return c == '0'; })
        && std::all_of(fracao.begin(), fracao.end(), [](char c) { return c == '0'; });

    QString texto;
    if (valor < 0 && !zero)
        texto += QLatin1Char('-');
    for (std::size_t i = 0; i < inteiro.size(); ++i) {
        if (!milhar.isNull() && i > 0 && (inteiro.size() - i) % 3 == 0)
            texto += milhar;
        texto += QLatin1Char(inteiro[i]);
    }
    if (casas > 0)
        texto += decimal + QString::fromLatin1(fracao.data(), qsizetype(fracao.size()));
    return texto;
}

// Eats the one mouse press that follows, wherever it goes; gone at the next turn of the loop.
class TDescarteDeClique : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        if (evento->type() == QEvent::MouseButtonPress || evento->type() == QEvent::MouseButtonDblClick) {
            qApp->removeEventFilter(this);
            deleteLater();
            return true;
        }
        return QObject::eventFilter(objeto, evento);
    }
};

} // namespace

TNumEdit::TNumEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_Regional(TConfiguracaoRegional::DoSistema())
{
    QLineEdit::setAlignment(m_Alignment | Qt::AlignVCenter);
    // A drop would bypass the key rules.
    setAcceptDrops(false);
}

void TNumEdit::DefineAlignment(Qt::Alignment alinhamento)
{
    alinhamento &= Qt::AlignHorizontal_Mask;
    if (alinhamento != Qt::AlignRight && alinhamento != Qt::AlignHCenter)
        alinhamento = Qt::AlignLeft;
    if (alinhamento == m_Alignment)
        return;
    m_Alignment = alinhamento;
    QLineEdit::setAlignment(m_Alignment | Qt::AlignVCenter);
    if (hasFocus())
        selectAll();
    update();
}

void TNumEdit::DefineDecimals(int decimais)
{
    const double valor = Value();
    m_Decimals = std::clamp(decimais, 0, 255);
    EscreveValor(valor);
}

void TNumEdit::DefineShowSeparator(bool mostra)
{
    if (mostra == m_ShowSeparator)
        return;
    m_ShowSeparator = mostra;
    update();
}

double TNumEdit::Value() const
{
    return LeTexto(text(), m_Regional.SeparadorDecimal);
}

void TNumEdit::DefineValue(double valor)
{
    EscreveValor(valor);
}

void TNumEdit::EscreveValor(double valor)
{
    setText(TextoFixo(valor, m_Decimals, m_Regional.SeparadorDecimal, QChar()));
    if (hasFocus())
        selectAll();
    update();
}

void TNumEdit::DefineMaxLength(int maximo)
{
    m_MaxLength = std::max(maximo, 0);
}

void TNumEdit::DefineRegional(const TConfiguracaoRegional& regional)
{
    const bool reescreve = !text().isEmpty() && regional.SeparadorDecimal != m_Regional.SeparadorDecimal;
    const double valor = Value();
    m_Regional = regional;
    // Read with the new separator, "12,5" would turn into 125.
    if (reescreve)
        EscreveValor(valor);
    update();
}

QString TNumEdit::TextoExibido() const
{
    return TextoFixo(Value(), m_Decimals, m_Regional.SeparadorDecimal,
                     m_ShowSeparator ? m_Regional.SeparadorMilhar : QChar());
}

void TNumEdit::Bipa()
{
    QApplication::beep();
    emit Bipou();
}

TNumEdit::TEstado TNumEdit::EstadoAtual() const
{
    return {text(), hasSelectedText() ? selectionStart() : cursorPosition(), int(selectedText().size())};
}

void TNumEdit::Restaura(const TEstado& estado)
{
    setText(estado.Texto);
    if (estado.Selecao > 0)
        setSelection(estado.Inicio, estado.Selecao);
    else
        setCursorPosition(estado.Inicio);
}

bool TNumEdit::DentroDaFaixa() const
{
    if (m_MaxValue == 0 && m_MinValue == 0)
        return true;
    const double valor = Value();
    return m_MinValue <= valor && valor <= m_MaxValue;
}

void TNumEdit::keyPressEvent(QKeyEvent* evento)
{
    QChar k = CaractereDe(*evento);
    if (k.isNull() || isReadOnly()) {
        QLineEdit::keyPressEvent(evento);
        return;
    }
    const QChar separador = m_Regional.SeparadorDecimal;
    const TEstado antes = EstadoAtual();
    const int tamanho = int(antes.Texto.size());
    const bool tudoSelecionado = antes.Selecao == tamanho;
    const double valor = Value();

    auto recusa = [&] {
        if (text() != antes.Texto)
            Restaura(antes);
        Bipa();
        // Enter and Escape still reach the dialog's buttons.
        if (k == kEnter || k == kEscape)
            evento->ignore();
        else
            evento->accept();
    };

    // Filter.
    if (k == QLatin1Char(',') || k == QLatin1Char('.'))
        k = separador;
    const bool permitido = EhDigito(k) || k == QLatin1Char('-') || k == separador || k == kRetrocesso
        || k == kCopia || k == kCola || k == kRecorte;
    const bool naFrenteDoMenos = valor < 0 && antes.Inicio == 0 && antes.Selecao == 0;
    if (!permitido || (naFrenteDoMenos && k != QLatin1Char('-')) || (k == separador && m_Decimals == 0)) {
        recusa();
        return;
    }

    // Sign: toggled in place unless the whole text is being replaced.
    if (k == QLatin1Char('-') && !tudoSelecionado) {
        AlternaSinal(antes);
        evento->accept();
        return;
    }

    // Separator: jump over an existing one, or cut the text so that at most Decimals digits follow.
    if (k == separador && !tudoSelecionado) {
        const int posicao = int(antes.Texto.indexOf(separador)) + 1;
        if (posicao > 0) {
            setCursorPosition(posicao);
            evento->accept();
            return;
        }
        if (antes.Inicio + m_Decimals < tamanho) {
            setText(antes.Texto.left(antes.Inicio + m_Decimals));
            setCursorPosition(antes.Inicio);
        }
    }

    // Decimal limit, for what inserts text. Backspace, copy and cut are left alone: dropping a digit
    // for them would lose data the operator never touched.
    const bool insere = k != kRetrocesso && k != kCopia && k != kRecorte;
    if (insere) {
        const int posicao = int(text().indexOf(separador)) + 1;
        if (posicao > 0 && antes.Inicio >= posicao && tamanho - posicao >= m_Decimals && antes.Selecao == 0) {
            if (antes.Inicio >= tamanho) {
                recusa();
                return;
            }
            setText(antes.Texto.chopped(1));
            setCursorPosition(antes.Inicio);
        }
    }

    if (k == kCola) {
        if (!ColaDoOperador(QGuiApplication::clipboard()->text()))
            recusa();
        else
            evento->accept();
        return;
    }
    if (insere) {
        if (!InsereDoOperador(QString(k)))
            recusa();
        else
            evento->accept();
        return;
    }
    QLineEdit::keyPressEvent(evento);
}

void TNumEdit::AlternaSinal(const TEstado& antes)
{
    const double valor = Value();
    QString texto = antes.Texto;
    if (valor > 0)
        texto.prepend(QLatin1Char('-'));
    else if (valor < 0)
        texto.remove(0, 1);
    // The caret stays in front of the same character.
    const int cursor = std::max(0, antes.Inicio + int(texto.size() - antes.Texto.size()));
    setText(texto);
    setCursorPosition(cursor);
}

bool TNumEdit::InsereDoOperador(QString texto)
{
    const TEstado estado = EstadoAtual();
    if (m_MaxLength > 0) {
        const int sobra = m_MaxLength - int(estado.Texto.size()) + estado.Selecao;
        if (sobra <= 0 && !texto.isEmpty())
            return false;
        texto.truncate(std::max(sobra, 0));
    }
    QString novo = estado.Texto;
    novo.replace(estado.Inicio, estado.Selecao, texto);
    if (!CabeNaLargura(novo))
        return false;
    insert(texto);
    return true;
}

bool TNumEdit::ColaDoOperador(const QString& texto)
{
    // One line only, as the box cannot show more.
    const QString linha = texto.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
    return InsereDoOperador(linha);
}

QRect TNumEdit::AreaDoTexto() const
{
    QStyleOptionFrame opcao;
    initStyleOption(&opcao);
    return style()->subElementRect(QStyle::SE_LineEditContents, &opcao, this).marginsRemoved(textMargins());
}

bool TNumEdit::CabeNaLargura(const QString& texto) const
{
    // The box does not scroll: text wider than the line, caret included, is refused.
    QStyleOptionFrame opcao;
    initStyleOption(&opcao);
    const int cursor = style()->pixelMetric(QStyle::PM_TextCursorWidth, &opcao, this);
    const int livre = AreaDoTexto().width() - 2 * kMargemHorizontal;
    return fontMetrics().horizontalAdvance(texto) + 1 + cursor <= livre;
}

void TNumEdit::focusInEvent(QFocusEvent* evento)
{
    const Qt::FocusReason razao = evento->reason();
    // Back from a popup or another window: the operator goes on where they left off.
    const bool retomada = m_FocoSuspenso && (razao == Qt::PopupFocusReason || razao == Qt::ActiveWindowFocusReason);
    m_FocoSuspenso = false;
    if (retomada) {
        QLineEdit::focusInEvent(evento);
        update();
        return;
    }
    const QString fixo = TextoFixo(Value(), m_Decimals, m_Regional.SeparadorDecimal, QChar());
    if (fixo != text())
        setText(fixo);
    m_TemFoco = true;
    QLineEdit::focusInEvent(evento);
    selectAll();
    m_CliqueDeFoco = razao == Qt::MouseFocusReason;
    update();
}

void TNumEdit::focusOutEvent(QFocusEvent* evento)
{
    const Qt::FocusReason razao = evento->reason();
    m_CliqueDeFoco = false;
    if (razao == Qt::PopupFocusReason || razao == Qt::ActiveWindowFocusReason) {
        m_FocoSuspenso = m_TemFoco;
        QLineEdit::focusOutEvent(evento);
        update();
        return;
    }
    // A box that never had a full focus-in (it was handed the focus and lost it within another
    // box's refusal) runs no check: two refusing boxes would otherwise pull the focus forever.
    const bool verifica = m_TemFoco && isVisible() && isEnabled();
    m_TemFoco = false;
    if (verifica && !DentroDaFaixa()) {
        if (OnOutOfRange)
            OnOutOfRange(*this);
        else
            Bipa();
        // The click that moved the focus must not act either, or a button would run with this value.
        if (razao == Qt::MouseFocusReason)
            DescartaCliqueSeguinte();
        setFocus(Qt::OtherFocusReason);
        selectAll();
        return; // the focus did not leave: no editingFinished
    }
    QLineEdit::focusOutEvent(evento);
    update();
}

bool TNumEdit::ConfereFaixa()
{
    if (DentroDaFaixa())
        return true;
    if (OnOutOfRange)
        OnOutOfRange(*this);
    else
        Bipa();
    setFocus(Qt::OtherFocusReason);
    selectAll();
    return false;
}

void TNumEdit::DescartaCliqueSeguinte()
{
    auto* descarte = new TDescarteDeClique(this);
    qApp->installEventFilter(descarte);
    QTimer::singleShot(0, descarte, &QObject::deleteLater);
}

void TNumEdit::mousePressEvent(QMouseEvent* evento)
{
    if (m_CliqueDeFoco && evento->button() == Qt::LeftButton) {
        // The click that brings the focus keeps the whole text selected.
        m_CliqueDeFoco = false;
        m_IgnoraArrasto = true;
        selectAll();
        evento->accept();
        return;
    }
    m_CliqueDeFoco = false;
    QLineEdit::mousePressEvent(evento);
}

void TNumEdit::mouseMoveEvent(QMouseEvent* evento)
{
    if (m_IgnoraArrasto) {
        evento->accept();
        return;
    }
    QLineEdit::mouseMoveEvent(evento);
}

void TNumEdit::mouseReleaseEvent(QMouseEvent* evento)
{
    if (m_IgnoraArrasto && evento->button() == Qt::LeftButton) {
        m_IgnoraArrasto = false;
        evento->accept();
        return;
    }
    // The X11 middle-button paste goes through the same limits as any other paste.
    QClipboard* area = QGuiApplication::clipboard();
    if (evento->button() == Qt::MiddleButton && area->supportsSelection() && !isReadOnly()) {
        deselect();
        if (!ColaDoOperador(area->text(QClipboard::Selection)))
            Bipa();
        evento->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(evento);
}

void TNumEdit::contextMenuEvent(QContextMenuEvent* evento)
{
    QMenu* menu = createStandardContextMenu();
    // The menu's paste must honour MaxLength and the visible width like the keyboard's.
    // Qt names the menu's actions only by their (translated) captions.
    const QString colar = QLineEdit::tr("&Paste");
    for (QAction* acao : menu->actions()) {
        if (acao->text().section(QLatin1Char('\t'), 0, 0) != colar)
            continue;
        disconnect(acao, &QAction::triggered, nullptr, nullptr);
        connect(acao, &QAction::triggered, this, [this] {
            if (!ColaDoOperador(QGuiApplication::clipboard()->text()))
                Bipa();
        });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(evento->globalPos());
}

void TNumEdit::paintEvent(QPaintEvent* evento)
{
    if (hasFocus()) {
        QLineEdit::paintEvent(evento);
        return;
    }
    // Without the focus the box shows the number formatted; the text itself stays as typed.
    QPainter pintor(this);
    QStyleOptionFrame opcao;
    initStyleOption(&opcao);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opcao, &pintor, this);

    const QRect area = AreaDoTexto();
    const QFontMetrics medidas = fontMetrics();
    const int topo = area.y() + (area.height() - medidas.height() + 1) / 2;
    const QRect linha(area.x() + kMargemHorizontal, topo, area.width() - 2 * kMargemHorizontal, medidas.height());
    pintor.setClipRect(area);
    pintor.setFont(font());
    pintor.setPen(isEnabled() ? palette().color(QPalette::Text) : palette().color(QPalette::Disabled, QPalette::Text));
    pintor.drawText(linha, int(m_Alignment | Qt::AlignVCenter), TextoExibido());
}
