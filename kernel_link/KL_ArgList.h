#pragma once
// Argument lists of the kernel link: the counted, always NULL-terminated vector of copied words
// that a program's command line and the kernel options travel in, the option scanner, and the
// split of a command line into the kernel's options and everything else.
//
// KL_ArgList owns its vector and every word in it.  Invariant: whenever `words` exists,
// words[count] is null, so the vector can be handed to anything that expects argv.  (The vector
// is rebuilt with one spare entry on append, and that entry is always set to null here.)
//
// KL_ArgOption points into the scanned list and owns nothing.

class KL_ArgList {
public:
    KL_ArgList() = default;
    KL_ArgList(int argc, const char* const* argv);   // copies argc words (a null word stops early)
    KL_ArgList(const KL_ArgList& other);
    KL_ArgList& operator=(const KL_ArgList& other);
    ~KL_ArgList();

    // Appends a copy of the word; null only (re)terminates the vector and leaves count alone.
    void append(const char* word);

    int count() const { return count_; }
    // The NULL-terminated vector; null for a list that never held a word.
    char** words() const { return words_; }
    const char* word(int i) const { return i >= 0 && i < count_ ? words_[i] : nullptr; }

    // Splits a program's words: the program name starts both lists; "-I -a -f -q -s -t" (decided
    // by the letter after '-') go to the kernel options alone, "-L -T -b -e -g -p -w" with their
    // value (the rest of the word, else the next word whatever it is); every other word, '/'
    // words included, goes to `others`.  Both results are NULL-terminated.
    static void split(const KL_ArgList& list, KL_ArgList& others, KL_ArgList& kernelOptions);
    static int otherArgs(const KL_ArgList& list, KL_ArgList& out);    // count of `others`
    static int kernelArgs(const KL_ArgList& list, KL_ArgList& out);   // count of the kernel options

private:
    void clear();
    int count_ = 0;
    char** words_ = nullptr;   // count_ + 1 entries, the last one null
};

struct KL_ArgOption {
    const char* name = nullptr;    // the option word after its first character, or none
    const char* value = nullptr;   // the word's value, or none
};

class KL_ArgScanner {
public:
    explicit KL_ArgScanner(const KL_ArgList& list) : list_(list) {}
    virtual ~KL_ArgScanner() = default;

    // True when the word begins with '-' or '/'.
    virtual bool isOptionWord(const char* word) const;

    const char* nextWord();                   // null at the end
    // Clears the option; false at the end.  An option word gives `name` (after its first
    // character) and takes the next word as `value` unless that is an option word too; a plain
    // word gives only `value`.
    bool nextOption(KL_ArgOption& option);

private:
    const KL_ArgList& list_;
    int next_ = 0;
};
