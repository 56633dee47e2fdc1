#include "Grade.h"

#include <QHeaderView>

TGradeBicos::TGradeBicos(const QStringList& titulos, const QList<int>& larguras, int colunas, int colunaMarca,
                         QWidget* parent)
    : QTableWidget(parent), FColunaMarca(colunaMarca)
{
    setObjectName(QStringLiteral("GridBombas"));
    setFrameShape(QFrame::NoFrame);
    setColumnCount(colunas);
    QStringList cabecalhos = titulos;
    while (cabecalhos.size() < colunas)
        cabecalhos << QString();
    setHorizontalHeaderLabels(cabecalhos);
    for (int c = 0; c < colunas; ++c) {
        if (c < larguras.size())
            setColumnWidth(c, larguras[c]);
        setColumnHidden(c, c >= titulos.size());
    }
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(18);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setFixedHeight(18);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: rgb(140, 132, 111); color: black; padding-left: 2px;"
        " border: 0px; border-right: 1px solid black; border-bottom: 1px solid black; }"));
    setShowGrid(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // Tab leaves the grid for the dialog's buttons.
    setTabKeyNavigation(false);
    QPalette paleta = palette();
    paleta.setColor(QPalette::Base, QColor(172, 165, 149));
    paleta.setColor(QPalette::AlternateBase, QColor(172, 165, 149));
    paleta.setColor(QPalette::Text, Qt::black);
    setPalette(paleta);
}

QString TGradeBicos::Celula(int linha, int coluna) const
{
    const QTableWidgetItem* celula = item(linha - 1, coluna);
    return celula ? celula->text() : QString();
}

void TGradeBicos::DefineCelula(int linha, int coluna, const QString& texto)
{
    QTableWidgetItem* celula = item(linha - 1, coluna);
    if (!celula) {
        celula = new QTableWidgetItem;
        celula->setFlags(coluna == FColunaEditavel ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                                   : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(linha - 1, coluna, celula);
    }
    celula->setText(texto);
}

void TGradeBicos::Esvazia(int bicos)
{
    clearContents();
    setRowCount(bicos > 0 ? bicos : 1);
    for (int c = 0; c < columnCount(); ++c)
        DefineCelula(1, c, QString());
}

void TGradeBicos::DefineMarca(int linha, bool marcada)
{
    if (FColunaMarca >= 0 && linha >= 1 && linha < QuantidadeLinhas())
        DefineCelula(linha, FColunaMarca, marcada ? kMarca : QString());
}

void TGradeBicos::AlternaMarca(int linha)
{
    if (linha < 1 || linha >= QuantidadeLinhas() || Celula(linha, 0).trimmed().isEmpty())
        return;
    DefineMarca(linha, !Marcada(linha));
    viewport()->repaint();
}
