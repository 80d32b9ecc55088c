#pragma once
// BBServer: the bulletin board (sharedInstance, a convenience of the stand-in).
// publishBulletin:destinations: ("v@:@Q") publishes a bulletin: it is appended to the
// published list (what the lock screen and Notification Centre then show) and the Trace
// event "bulletin-published" {sectionID, title, message, destinations} is emitted.

#include "ClassBuilder.h"

#include <vector>

class BBServer : public objc_object {
public:
    struct Publication {
        id bulletin;
        unsigned long long destinations;
    };

    static void declare(ClassBuilder&, int iosMajor);

    const std::vector<Publication>& published() const { return m_published; }
    void publish(const id& bulletin, unsigned long long destinations);

private:
    std::vector<Publication> m_published;
};
