#include "FormBasico.h"

#include "Contexto.h"
#include "FonteDialogo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTextEdit>

#include <utility>

namespace {

// Qt keys that have a virtual key code of their own; letters and digits share Qt's codes.
constexpr std::pair<int, quint16> kCodigos[] = {
    {Qt::Key_Backspace, 8},   {Qt::Key_Tab, 9},        {Qt::Key_Backtab, 9},     {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},     {Qt::Key_Enter, 13},     {Qt::Key_Shift, 16},      {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},        {Qt::Key_Pause, 19},     {Qt::Key_CapsLock, 20},   {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},      {Qt::Key_PageUp, 33},    {Qt::Key_PageDown, 34},   {Qt::Key_End, 35},
    {Qt::Key_Home, 36},       {Qt::Key_Left, 37},      {Qt::Key_Up, 38},         {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},       {Qt::Key_Print, 44},     {Qt::Key_Insert, 45},     {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},       {Qt::Key_Meta, 91},      {Qt::Key_Menu, 93},       {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145}, {Qt::Key_Semicolon, 186}, {Qt::Key_Equal, 187},   {Qt::Key_Comma, 188},
    {Qt::Key_Minus, 189},     {Qt::Key_Period, 190},   {Qt::Key_Slash, 191},     {Qt::Key_QuoteLeft, 192},
    {Qt::Key_BracketLeft, 219}, {Qt::Key_Backslash, 220}, {Qt::Key_BracketRight, 221},
    {Qt::Key_Apostrophe, 222}, {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107},
};


} // namespace

TFrmBasico::TFrmBasico(TContexto& contexto, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FContexto(contexto)
{
    setWindowTitle(QStringLiteral("Formulário Básico"));
    setFont(FonteMsSansSerif());
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, paleta.color(QPalette::Button));
    setPalette(paleta);
    setAutoFillBackground(true);
    setFixedSize(474, 287);
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing a dialog over a window hidden in the tray must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    // Key preview: the dialog sees every key before the control it is meant for.
    qApp->installEventFilter(this);
}

TFrmBasico::~TFrmBasico()
{
    qApp->removeEventFilter(this);
}

quint16 TFrmBasico::CodigoTecla(int tecla, Qt::KeyboardModifiers modificadores)
{
    if (modificadores & Qt::KeypadModifier) {
        if (tecla >= Qt::Key_0 && tecla <= Qt::Key_9)
            return static_cast<quint16>(96 + tecla - Qt::Key_0);
        if (tecla == Qt::Key_Minus)
            return 109;
        if (tecla == Qt::Key_Period || tecla == Qt::Key_Comma)
            return 110;
        if (tecla == Qt::Key_Slash)
            return 111;
    }
    if ((tecla >= Qt::Key_0 && tecla <= Qt::Key_9) || (tecla >= Qt::Key_A && tecla <= Qt::Key_Z))
        return static_cast<quint16>(tecla);
    if (tecla >= Qt::Key_F1 && tecla <= Qt::Key_F24)
        return static_cast<quint16>(kTeclaF1 + tecla - Qt::Key_F1);
    for (const auto& [qt, codigo] : kCodigos)
        if (qt == tecla)
            return codigo;
    return 255;
}

bool TFrmBasico::TeclaF1(quint16&) { return true; }
bool TFrmBasico::TeclaF2(quint16&) { return true; }
bool TFrmBasico::TeclaF3(quint16&) { return true; }
bool TFrmBasico::TeclaF4(quint16&) { return true; }
bool TFrmBasico::TeclaF5(quint16&) { return true; }
bool TFrmBasico::TeclaF6(quint16&) { return true; }
bool TFrmBasico::TeclaF7(quint16&) { return true; }
bool TFrmBasico::TeclaF8(quint16&) { return true; }
bool TFrmBasico::TeclaF9(quint16&) { return true; }
bool TFrmBasico::TeclaF10(quint16&) { return true; }
bool TFrmBasico::TeclaF11(quint16&) { return true; }
bool TFrmBasico::TeclaF12(quint16&) { return true; }

bool TFrmBasico::TeclaEsc(quint16& Key)
{
    // An open list closes, not the dialog; a cell being edited drops the edit, and the next Esc,
    // from the grid, closes the dialog.
    if (FocoEmListaAberta() || FocoEmEditorDeGrade())
        return true;
    if (PodeFechar(Key))
        close();
    return true;
}

bool TFrmBasico::TeclaEnter(quint16& Key)
{
    // A cell editor's Enter ends the edit in the grid, which decides where to go: leaving the grid
    // for a button would take the next keys (a price typed, another Enter) away from it.
    if (FocoEmGrade() || FocoEmEditorDeGrade() || FocoEmTextoMultilinha() || FocoEmListaAberta())
        return true;
    // A focused push button takes Enter as its click, in every dialog alike (whatever its
    // default-button setting), and the focus stays on it.
    if (auto* botao = qobject_cast<QPushButton*>(focusWidget())) {
        Key = 0;
        botao->click();
        return true;
    }
    // The key stays Enter: the control that had the focus still receives it.
    MoveFoco(true);
    return true;
}

bool TFrmBasico::TeclaSetaAcima(quint16& Key)
{
    if (FocoEmGrade() || FocoEmTextoMultilinha() || FocoEmListaAberta())
        return true;
    Key = kTeclaLimpa; // the control that had the focus does not act on the arrow
    MoveFoco(false);
    return true;
}

bool TFrmBasico::PodeFechar(quint16&) { return true; }
bool TFrmBasico::UltimaTeclaEnter() { return FUltimaTecla == kTeclaEnter; }
bool TFrmBasico::UltimaTeclaEsc() { return FUltimaTecla == kTeclaEsc; }

TMensagens& TFrmBasico::Mensagens() const
{
    return FContexto.Mensagens();
}

const TConfiguracaoRegional& TFrmBasico::Regional() const
{
    return FContexto.Regional();
}

void TFrmBasico::FormCreate()
{
    LigaConexao(this, &FContexto.CnTankora());
}

void TFrmBasico::FormClose()
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void TFrmBasico::FormKeyDown(quint16& Key, Qt::KeyboardModifiers)
{
    switch (Key) {
    case kTeclaEnter:
        TeclaEnter(Key);
        break;
    case kTeclaEsc:
        TeclaEsc(Key);
        break;
    case kTeclaSetaAcima:
        TeclaSetaAcima(Key);
        break;
    case 112: TeclaF1(Key); break;
    case 113: TeclaF2(Key); break;
    case 114: TeclaF3(Key); break;
    case 115: TeclaF4(Key); break;
    case 116: TeclaF5(Key); break;
    case 117: TeclaF6(Key); break;
    case 118: TeclaF7(Key); break;
    case 119: TeclaF8(Key); break;
    case 120: TeclaF9(Key); break;
    case 121: TeclaF10(Key); break;
    case 122: TeclaF11(Key); break;
    case 123: TeclaF12(Key); break;
    default:
        break;
    }
}

bool TFrmBasico::DoDialogo(const QWidget* widget) const
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w == this)
            return true;
        // A combo's list is a window of its own but still the dialog's; a message box is not.
        if (w->isWindow() && w->windowType() != Qt::Popup)
            return false;
    }
    return false;
}

bool TFrmBasico::eventFilter(QObject* objeto, QEvent* evento)
{
    const QEvent::Type tipo = evento->type();
    if ((tipo != QEvent::KeyPress && tipo != QEvent::KeyRelease) || !objeto->isWidgetType())
        return QDialog::eventFilter(objeto, evento);
    auto* widget = static_cast<QWidget*>(objeto);
    if (!DoDialogo(widget))
        return false;
    // A key the control leaves unused travels up to its parents: only its first receiver counts.
    QWidget* alvo = QApplication::focusWidget();
    if (QWidget* popup = QApplication::activePopupWidget())
        alvo = popup->focusWidget() ? popup->focusWidget() : popup;
    if (!alvo || !DoDialogo(alvo))
        alvo = focusWidget() ? focusWidget() : this;
    if (widget != alvo)
        return false;

    auto* tecla = static_cast<QKeyEvent*>(evento);
    if (tipo == QEvent::KeyRelease) {
        if (!tecla->isAutoRepeat())
            FUltimaTecla = 0; // FormKeyUp
        return false;
    }
    quint16 Key = CodigoTecla(tecla->key(), tecla->modifiers());
    FUltimaTecla = Key;
    const quint16 original = Key;
    FormKeyDown(Key, tecla->modifiers());
    // A hook that replaced the key, or closed the dialog, spends it.
    return Key != original || !isVisible();
}

bool TFrmBasico::event(QEvent* evento)
{
    if (evento->type() == QEvent::WindowActivate)
        FUltimaTecla = 0; // FormActivate
    return QDialog::event(evento);
}

void TFrmBasico::keyPressEvent(QKeyEvent* evento)
{
    // Enter and Esc belong to the navigation hooks: no default button, no reject.
    switch (evento->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        evento->ignore();
        return;
    default:
        QDialog::keyPressEvent(evento);
    }
}

void TFrmBasico::closeEvent(QCloseEvent* evento)
{
    QDialog::closeEvent(evento);
    if (evento->isAccepted())
        FormClose();
}

void TFrmBasico::showEvent(QShowEvent* evento)
{
    QDialog::showEvent(evento);
    // Placed at the centre of the desktop when first shown.
    if (!FCentralizado && !evento->spontaneous()) {
        FCentralizado = true;
        if (QScreen* tela = screen()) {
            QRect area = frameGeometry();
            area.moveCenter(tela->availableGeometry().center());
            move(area.topLeft());
        }
    }
}

bool TFrmBasico::FocoEmGrade() const
{
    return qobject_cast<QTableView*>(focusWidget()) != nullptr;
}

bool TFrmBasico::FocoEmEditorDeGrade() const
{
    QWidget* foco = focusWidget();
    for (QWidget* p = foco ? foco->parentWidget() : nullptr; p && p != this; p = p->parentWidget())
        if (qobject_cast<QAbstractItemView*>(p))
            return true;
    return false;
}

bool TFrmBasico::FocoEmTextoMultilinha() const
{
    QWidget* foco = focusWidget();
    return qobject_cast<QTextEdit*>(foco) || qobject_cast<QPlainTextEdit*>(foco);
}

bool TFrmBasico::FocoEmListaAberta() const
{
    auto* combo = qobject_cast<QComboBox*>(focusWidget());
    return combo && combo->view() && combo->view()->isVisible();
}

void TFrmBasico::MoveFoco(bool adiante)
{
    // With nothing focused the walk starts at the dialog itself, before its first control.
    QWidget* origem = focusWidget() ? focusWidget() : this;
    // A grid's cell editor stands where its grid stands in the tab order.
    for (QWidget* p = origem->parentWidget(); p && p != this; p = p->parentWidget())
        if (qobject_cast<QAbstractItemView*>(p))
            origem = p;
    QWidget* w = origem;
    for (;;) {
        w = adiante ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == origem)
            return;
        if ((origem != this && origem->isAncestorOf(w)) || w->window() != this || w->focusProxy())
            continue;
        if (w->isEnabled() && w->isVisibleTo(this) && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
            w->setFocus(adiante ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}
