#pragma once
// The base of the grid dialogs opened from the main window: Enter moves to the next field, the Up
// arrow to the previous one and Esc closes, each unless the focused control needs the key itself
// (a grid and its cell editor keep Enter, the cell editor keeps Esc to cancel its edit, a focused
// button takes Enter as its click); F1 to F12 are hooks for derived dialogs. The dialog sees every key before its controls, attaches
// its statements to the shared connection when created (FormCreate) and frees itself when closed.
#include <QDialog>

class TContexto;
class TMensagens;
class TConfiguracaoRegional;

class TFrmBasico : public QDialog {
    Q_OBJECT
public:
    // Virtual key codes, as UltimaTecla and the hooks carry them.
    static constexpr quint16 kTeclaLimpa = 12;
    static constexpr quint16 kTeclaEnter = 13;
    static constexpr quint16 kTeclaEsc = 27;
    static constexpr quint16 kTeclaSetaAcima = 38;
    static constexpr quint16 kTeclaF1 = 112;
    static constexpr quint16 kTeclaF12 = 123;

    explicit TFrmBasico(TContexto& contexto, QWidget* parent = nullptr);
    ~TFrmBasico() override;

    TContexto& Contexto() const { return FContexto; }
    // What a derived dialog uses on the window's thread: the operator's boxes and the regional
    // settings. Everything else it asks of the engine as a job.
    TMensagens& Mensagens() const;
    const TConfiguracaoRegional& Regional() const;
    // The key last pressed while the dialog was active; 0 after activation and after every release.
    quint16 UltimaTecla() const { return FUltimaTecla; }
    // A Qt key event as a virtual key code; modifiers play no part. Unmapped keys give 255.
    static quint16 CodigoTecla(int tecla, Qt::KeyboardModifiers modificadores);

    // Hooks called by the key dispatcher. The key code comes by reference: a hook that changes it
    // keeps the original key from the focused control. The results are not used by the dispatcher.
    virtual bool TeclaF1(quint16& Key);
    virtual bool TeclaF2(quint16& Key);
    virtual bool TeclaF3(quint16& Key);
    virtual bool TeclaF4(quint16& Key);
    virtual bool TeclaF5(quint16& Key);
    virtual bool TeclaF6(quint16& Key);
    virtual bool TeclaF7(quint16& Key);
    virtual bool TeclaF8(quint16& Key);
    virtual bool TeclaF9(quint16& Key);
    virtual bool TeclaF10(quint16& Key);
    virtual bool TeclaF11(quint16& Key);
    virtual bool TeclaF12(quint16& Key);
    virtual bool TeclaEsc(quint16& Key);
    virtual bool TeclaEnter(quint16& Key);
    virtual bool TeclaSetaAcima(quint16& Key);
    virtual bool PodeFechar(quint16& Key);
    virtual bool UltimaTeclaEnter();
    virtual bool UltimaTeclaEsc();

protected:
    // Attaches every statement placed on the dialog to the shared connection. A derived dialog
    // calls it at the end of its constructor, once its controls exist, and extends it by calling
    // the base first.
    virtual void FormCreate();
    // Closing always frees the dialog; a derived dialog extends this with its own clean-up.
    virtual void FormClose();
    // Dispatches one key by the key table; modifiers are not examined.
    void FormKeyDown(quint16& Key, Qt::KeyboardModifiers Shift);

    bool eventFilter(QObject* objeto, QEvent* evento) override;
    bool event(QEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void showEvent(QShowEvent* evento) override;

private:
    // The kinds of focused control the navigation keys respect.
    bool FocoEmGrade() const;
    // The in-place editor of a grid cell being edited.
    bool FocoEmEditorDeGrade() const;
    bool FocoEmTextoMultilinha() const;
    bool FocoEmListaAberta() const;
    // Moves the focus along the tab order; from a grid's cell editor the grid's place counts.
    void MoveFoco(bool adiante);
    // Whether the widget belongs to this dialog (its popups included, other windows not).
    bool DoDialogo(const QWidget* widget) const;

    TContexto& FContexto;
    quint16 FUltimaTecla = 0;
    bool FCentralizado = false;
};
