#include "player/stream_information.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>

#include "services/stream_check.h"
#include "widgets/texts.h"

namespace {

const char* const kFields[] = {"Video",         "Resolution",    "Frame rate", "Video bitrate",     "Audio",
                               "Audio bitrate", "Sound",         "Container",  "Hardware decoding", "Address",
                               "Answered by",   "Dropped frames"};

QString Bitrate(double bitsPerSecond) {
    if (bitsPerSecond <= 0) return QStringLiteral("–");
    if (bitsPerSecond >= 1e6) return QStringLiteral("%1 Mbit/s").arg(bitsPerSecond / 1e6, 0, 'f', 2);
    return QStringLiteral("%1 kbit/s").arg(qRound(bitsPerSecond / 1e3));
}

// The message of a field: "Video bitrate" is MSG_INFOVIDEOBITRATE.
QString FieldText(const char* field) {
    return Msg((QStringLiteral("MSG_INFO") + QString::fromLatin1(field).remove(QLatin1Char(' ')).toUpper())
                   .toLatin1()
                   .constData());
}

QString OrDash(const QString& text) { return text.isEmpty() ? QStringLiteral("–") : text; }

}  // namespace

StreamInformation::StreamInformation(QWidget* parent, std::function<Playing()> read)
    : QWidget(parent, Qt::Tool), m_read(std::move(read)), m_cancel(std::make_shared<std::atomic<bool>>(false)) {
    setObjectName(QStringLiteral("StreamInformation"));
    setWindowTitle(Msg("MSG_INFOTITLE"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* form = new QFormLayout(this);
    for (const char* field : kFields) {
        auto* value = new QLabel(QStringLiteral("–"), this);
        value->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(field).remove(QLatin1Char(' ')));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(260);
        form->addRow(FieldText(field) + QLatin1Char(':'), value);
        m_values.insert(QString::fromLatin1(field), value);
    }
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &StreamInformation::refresh);
    m_timer.start();
    refresh();
}

StreamInformation::~StreamInformation() {
    *m_cancel = true;
    if (m_worker.joinable()) m_worker.join();
}

QString StreamInformation::value(const QString& field) const {
    const QLabel* label = m_values.value(field);
    return label ? label->text() : QString();
}

void StreamInformation::refresh() {
    const Playing playing = m_read();
    const QString& asked = playing.url;
    if (asked != m_asked) askWhoAnswers(asked);
    const bool open = playing.open;
    const StreamFacts& f = playing.facts;
    const auto set = [this](const char* field, const QString& text) {
        m_values.value(QString::fromLatin1(field))->setText(text);
    };
    set("Video", OrDash(f.videoCodec));
    set("Resolution", f.width > 0 ? QStringLiteral("%1 × %2").arg(f.width).arg(f.height) : QStringLiteral("–"));
    set("Frame rate",
        f.framesPerSecond > 0 ? QStringLiteral("%1 fps").arg(f.framesPerSecond, 0, 'f', 2) : QStringLiteral("–"));
    set("Video bitrate", Bitrate(f.videoBitrate));
    set("Audio", OrDash(f.audioCodec));
    set("Audio bitrate", Bitrate(f.audioBitrate));
    QString sound;
    if (f.sampleRate > 0)
        sound = QStringLiteral("%1 Hz, %2 (%3), %4")
                    .arg(f.sampleRate)
                    .arg(f.channelLayout,
                         f.channels == 1 ? Msg("MSG_INFOONECHANNEL") : Msg("MSG_INFOCHANNELS").arg(f.channels),
                         f.audioFormat);
    set("Sound", OrDash(sound));
    set("Container", OrDash(f.container));
    set("Hardware decoding",
        !open ? QStringLiteral("–")
              : (f.decoder.isEmpty() || f.decoder == QLatin1String("no") ? Msg("MSG_INFONO") : f.decoder));
    set("Address", OrDash(asked));
    set("Answered by", OrDash(m_answeredBy));
    set("Dropped frames", open ? QLocale().toString(static_cast<qlonglong>(f.droppedFrames)) : QStringLiteral("–"));
}

void StreamInformation::askWhoAnswers(const QString& address) {
    *m_cancel = true;  // the question about the address before is of no use now
    if (m_worker.joinable()) m_worker.join();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_asked = address;
    m_answeredBy.clear();
    const bool web = address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                     address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    if (!web) {
        m_answeredBy = address;  // a file, or a protocol without redirects
        return;
    }
    stream_check::Options options;
    options.concurrency = 1;
    options.maxBytes = std::size_t{16} << 10;
    QPointer<StreamInformation> self(this);
    m_worker = std::thread([self, cancel = m_cancel, options, asked = address.toStdString()] {
        std::string answered;
        stream_check::Check(
            {asked}, options, [&](std::size_t, const stream_check::Result& r) { answered = r.answeredBy; }, *cancel);
        if (*cancel) return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, cancel, answered = QString::fromStdString(answered)] {
                if (!self || *cancel) return;
                self->m_answeredBy = answered.isEmpty() ? Msg("MSG_INFONOANSWER") : answered;
                self->refresh();
            },
            Qt::QueuedConnection);
    });
}
