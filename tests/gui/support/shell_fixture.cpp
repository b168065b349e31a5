#include "shell_fixture.h"

#include <kvcom/kvcom.h>

namespace kvtest {

ShellFixture::ShellFixture() : frame_(&doc_) { frame_.show(); }

QByteArray ImageOf(const CDSDATA& model) {
    QByteArray buf(KV_IMAGE_MAX, '\0');
    return buf.left(model.SaveData(reinterpret_cast<unsigned char*>(buf.data())));
}

}  // namespace kvtest
