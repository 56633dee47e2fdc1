#pragma once
// Single-line box for numbers. Takes digits, one decimal separator and a leading minus, keeps at
// most Decimals decimals, draws the number formatted while it does not have the focus, and keeps
// the focus while the value lies outside [MinValue, MaxValue].
//
// The value lives in the text; the text is read with the box's own regional settings, never with
// the C library's locale.
#include "Regional.h"

#include <QLineEdit>

#include <functional>

class TNumEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(Qt::Alignment Alignment READ Alignment WRITE DefineAlignment)
    Q_PROPERTY(int Decimals READ Decimals WRITE DefineDecimals)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE DefineMaxValue)
    Q_PROPERTY(double MinValue READ MinValue WRITE DefineMinValue)
    Q_PROPERTY(bool ShowSeparator READ ShowSeparator WRITE DefineShowSeparator)
    Q_PROPERTY(double Value READ Value WRITE DefineValue STORED false)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE DefineMaxLength)

public:
    // Right-aligned, 2 decimals, no range check, thousands grouped; regional settings of the system.
    explicit TNumEdit(QWidget* parent = nullptr);

    // Horizontal placement only: Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter.
    Qt::Alignment Alignment() const { return m_Alignment; }
    void DefineAlignment(Qt::Alignment alinhamento);

    // 0 to 255.
    int Decimals() const { return m_Decimals; }
    void DefineDecimals(int decimais);

    // Both 0: no range check.
    double MaxValue() const { return m_MaxValue; }
    void DefineMaxValue(double valor) { m_MaxValue = valor; }
    double MinValue() const { return m_MinValue; }
    void DefineMinValue(double valor) { m_MinValue = valor; }

    bool ShowSeparator() const { return m_ShowSeparator; }
    void DefineShowSeparator(bool mostra);

    // Read from the text: digits and the first decimal separator count, everything else is skipped;
    // a minus counts only as the first character. Written as fixed-point with Decimals decimals.
    double Value() const;
    void DefineValue(double valor);

    // Most characters the operator may type or paste; 0 means no limit. Text written by the program
    // (Value, the sign key) is not cut. Use this instead of QLineEdit::setMaxLength, which would
    // truncate such text.
    int MaxLength() const { return m_MaxLength; }
    void DefineMaxLength(int maximo);

    const TConfiguracaoRegional& Regional() const { return m_Regional; }
    // Replaces the separators; the text is rewritten so that the value survives the change.
    void DefineRegional(const TConfiguracaoRegional& regional);

    // What the box draws while it does not have the focus.
    QString TextoExibido() const;

    // Called instead of the beep when the value is out of range as the focus leaves.
    std::function<void(TNumEdit&)> OnOutOfRange;
    // True when the value lies in [MinValue, MaxValue]; otherwise refuses it as leaving the box
    // would (OnOutOfRange or a beep, the focus kept, the text selected). For a button pressed by
    // its letter, which acts without taking the focus from the box.
    bool ConfereFaixa();

signals:
    // Every refusal: a key, a paste, an out-of-range value (unless OnOutOfRange is set).
    void Bipou();

protected:
    void keyPressEvent(QKeyEvent* evento) override;
    void focusInEvent(QFocusEvent* evento) override;
    void focusOutEvent(QFocusEvent* evento) override;
    void mousePressEvent(QMouseEvent* evento) override;
    void mouseMoveEvent(QMouseEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;
    void contextMenuEvent(QContextMenuEvent* evento) override;
    void paintEvent(QPaintEvent* evento) override;

private:
    struct TEstado {
        QString Texto;
        int Inicio = 0; // caret, or the start of the selection
        int Selecao = 0;
    };

    void Bipa();
    TEstado EstadoAtual() const;
    void Restaura(const TEstado& estado);
    void EscreveValor(double valor);
    void AlternaSinal(const TEstado& antes);
    bool InsereDoOperador(QString texto);
    bool ColaDoOperador(const QString& texto);
    bool CabeNaLargura(const QString& texto) const;
    bool DentroDaFaixa() const;
    void DescartaCliqueSeguinte();
    QRect AreaDoTexto() const;

    TConfiguracaoRegional m_Regional;
    Qt::Alignment m_Alignment = Qt::AlignRight;
    int m_Decimals = 2;
    double m_MaxValue = 0;
    double m_MinValue = 0;
    bool m_ShowSeparator = true;
    int m_MaxLength = 0;

    bool m_TemFoco = false;      // had a full focus-in, so a focus-out runs the range check
    bool m_FocoSuspenso = false; // lost the focus only to a popup or another window
    bool m_CliqueDeFoco = false; // the next left press is the one that gave the focus
    bool m_IgnoraArrasto = false; // swallow the rest of that click
};
