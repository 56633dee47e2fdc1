#include "ClassConcentrador.h"

#include <QTest>

namespace {
template <typename T>
void Escreve(QByteArray& bytes, int posicao, T valor)
{
    std::memcpy(bytes.data() + posicao, &valor, sizeof valor);
}
void EscreveCurto(QByteArray& bytes, int posicao, const QByteArray& texto)
{
    bytes[posicao] = static_cast<char>(texto.size());
    std::memcpy(bytes.data() + posicao + 1, texto.constData(), static_cast<size_t>(texto.size()));
}
} // namespace

class TesteRegistros : public QObject {
    Q_OBJECT
private slots:
    void AbastecimentoPlanoDaImagem()
    {
        QByteArray imagem(144, '\xAA');
        imagem[0] = 1;
        Escreve<qint64>(imagem, 8, 1500500);
        Escreve<double>(imagem, 16, 25.437);
        Escreve<qint64>(imagem, 24, 58990);
        EscreveCurto(imagem, 41, "44");
        EscreveCurto(imagem, 44, "09/12/2025");
        EscreveCurto(imagem, 55, "14:03:27");
        Escreve<qint32>(imagem, 120, 169);
        Escreve<double>(imagem, 128, 123456.5);
        TAbastecimento r;
        std::memcpy(&r, imagem.constData(), sizeof r);
        QCOMPARE(r.Valido, 1);
        QCOMPARE(r.ValorTotal, 1500500);
        QCOMPARE(r.Litragem, 25.437);
        QCOMPARE(r.PrecoUnit, 58990);
        QCOMPARE(r.Bico.Texto(), QString("44"));
        QCOMPARE(r.Data.Texto(), QString("09/12/2025"));
        QCOMPARE(r.Hora.Texto(), QString("14:03:27"));
        QCOMPARE(r.Id, 169);
        QCOMPARE(r.EncerranteFinal, 123456.5);

        // Written back field by field, the same bytes come out where the fields are.
        TAbastecimento w = RegistroVazio<TAbastecimento>();
        w.Valido = 1;
        w.ValorTotal = 1500500;
        w.Litragem = 25.437;
        w.PrecoUnit = 58990;
        w.Bico.Define("44");
        w.Data.Define("09/12/2025");
        w.Hora.Define("14:03:27");
        w.Id = 169;
        w.EncerranteFinal = 123456.5;
        const QByteArray escrito(reinterpret_cast<const char*>(&w), sizeof w);
        for (auto [inicio, tamanho] : {std::pair{0, 1}, {8, 24}, {41, 3}, {44, 11}, {55, 9}, {120, 4}, {128, 8}})
            QCOMPARE(escrito.mid(inicio, tamanho), imagem.mid(inicio, tamanho));
    }

    void AbastecimentoFidDaImagem()
    {
        QByteArray imagem(176, '\0');
        imagem[0] = 1;
        EscreveCurto(imagem, 41, "0A");
        Escreve<qint32>(imagem, 140, 37);
        Escreve<double>(imagem, 144, 99.25);
        EscreveCurto(imagem, 154, "12345678901234567890");
        TAbastecimentoFid r;
        std::memcpy(&r, imagem.constData(), sizeof r);
        QCOMPARE(r.Bico.Texto(), QString("0A"));
        QCOMPARE(r.Id, 37);
        QCOMPARE(r.EncerranteFinal, 99.25);
        QCOMPARE(r.CodFid.Texto(), QString("12345678901234567890"));
    }

    void EncerranteDaImagem()
    {
        QByteArray imagem(16, '\0');
        EscreveCurto(imagem, 0, "44");
        Escreve<double>(imagem, 8, 1000.125);
        TEncerrante r;
        std::memcpy(&r, imagem.constData(), sizeof r);
        QCOMPARE(r.Bico.Texto(), QString("44"));
        QCOMPARE(r.Encerrante, 1000.125);
    }

    void TamanhoAcimaDoCampoFicaNoCampo()
    {
        TAbastecimento r = RegistroVazio<TAbastecimento>();
        std::memset(r.Hora.Caracteres, '9', sizeof r.Hora.Caracteres);
        r.Hora.Tamanho = 255;
        QCOMPARE(r.Hora.Texto(), QString("99999999"));
        r.Bico.Define("ABCDEF");
        QCOMPARE(r.Bico.Texto(), QString("AB"));
    }

    void ClasseBase()
    {
        TConcentrador base;
        QVERIFY(base.InicializaSerial(1));
        QCOMPARE(base.FGetStStatusBico(), QString("F"));
        QCOMPARE(base.PrecoUnitario("44"), 0.0);
        QCOMPARE(base.GetLeAbastecimento().Valido, 0);
        QCOMPARE(base.LeituraEncerrante.Encerrante, 0.0);
    }
};

QTEST_GUILESS_MAIN(TesteRegistros)
#include "TesteRegistros.moc"
