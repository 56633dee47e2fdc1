#include "MensagemFirebird.h"

#include "Erro.h"

#include <QDate>
#include <QDateTime>
#include <QStringDecoder>

#include <cmath>

using namespace Firebird;

namespace {
double Escala(qint64 valor, int escala)
{
    return static_cast<double>(valor) / std::pow(10.0, -escala);
}

QVariant Inteiro(qint64 valor, int escala)
{
    if (escala < 0)
        return Escala(valor, escala);
    if (escala > 0)
        return static_cast<double>(valor) * std::pow(10.0, escala);
    return valor;
}

QDate Data(ISC_DATE data)
{
    unsigned ano = 0, mes = 0, dia = 0;
    UtilFirebird()->decodeDate(data, &ano, &mes, &dia);
    return QDate(static_cast<int>(ano), static_cast<int>(mes), static_cast<int>(dia));
}

QTime Hora(ISC_TIME hora)
{
    unsigned h = 0, m = 0, s = 0, fracao = 0;
    UtilFirebird()->decodeTime(hora, &h, &m, &s, &fracao);
    return QTime(static_cast<int>(h), static_cast<int>(m), static_cast<int>(s), static_cast<int>(fracao / 10));
}

QVariant LeBlob(IAttachment* anexo, ITransaction* transacao, ISC_QUAD id, int subtipo, TStatusFirebird& st)
{
    IBlob* blob = anexo->openBlob(&st, transacao, &id, 0, nullptr);
    QByteArray bytes;
    char pedaco[8192];
    try {
        for (;;) {
            unsigned lidos = 0;
            const int resultado = blob->getSegment(&st, sizeof pedaco, pedaco, &lidos);
            if (resultado != IStatus::RESULT_OK && resultado != IStatus::RESULT_SEGMENT)
                break;
            bytes.append(pedaco, lidos);
        }
        blob->close(&st);
    } catch (...) {
        blob->release();
        throw;
    }
    if (subtipo == 1)
        return DecodificaTexto(bytes.constData(), bytes.size());
    return bytes;
}
} // namespace

QString DecodificaTexto(const char* dados, qsizetype tamanho)
{
    const QByteArrayView bytes(dados, tamanho);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = utf8.decode(bytes);
    if (!utf8.hasError())
        return texto;
    return QString::fromLatin1(dados, tamanho);
}

QVariant LeCampo(const TColunaSaida& coluna, const unsigned char* linha, IAttachment* anexo,
                 ITransaction* transacao, TStatusFirebird& st)
{
    if (Le<short>(linha + coluna.DeslocamentoNulo) != 0)
        return QVariant();
    const unsigned char* p = linha + coluna.Deslocamento;
    const int escala = coluna.Escala;
    switch (coluna.Tipo & ~1u) {
    case SQL_TEXT: {
        // CHAR columns come padded with blanks up to their width; the padding is not data (the
        // server itself ignores it when comparing), so codes read back as they were written.
        QString texto = DecodificaTexto(reinterpret_cast<const char*>(p), coluna.Comprimento);
        qsizetype fim = texto.size();
        while (fim > 0 && texto[fim - 1] == ' ')
            --fim;
        texto.truncate(fim);
        return texto;
    }
    case SQL_VARYING:
        return DecodificaTexto(reinterpret_cast<const char*>(p + 2), Le<unsigned short>(p));
    case SQL_SHORT:
        return Inteiro(Le<qint16>(p), escala);
    case SQL_LONG:
        return Inteiro(Le<qint32>(p), escala);
    case SQL_INT64:
        return Inteiro(Le<qint64>(p), escala);
    case SQL_FLOAT:
        return static_cast<double>(Le<float>(p));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return Le<double>(p);
    case SQL_TIMESTAMP: {
        const auto momento = Le<ISC_TIMESTAMP>(p);
        return QDateTime(Data(momento.timestamp_date), Hora(momento.timestamp_time));
    }
    case SQL_TYPE_DATE:
        return Data(Le<ISC_DATE>(p));
    case SQL_TYPE_TIME:
        return Hora(Le<ISC_TIME>(p));
    case SQL_BOOLEAN:
        return *p != 0;
    case SQL_BLOB:
        return LeBlob(anexo, transacao, Le<ISC_QUAD>(p), coluna.SubTipo, st);
    case SQL_NULL:
        return QVariant();
    default:
        throw EErro(QStringLiteral("Tipo de coluna não suportado: %1").arg(coluna.Tipo));
    }
}

bool Numerico(unsigned tipo)
{
    switch (tipo & ~1u) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return true;
    default:
        return false;
    }
}
