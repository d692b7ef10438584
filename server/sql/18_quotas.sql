-- What the server keeps for one member and one account at most, and what each account keeps now. The
-- field limits are the lengths the program's member form lets a user type; the page and picture limits
-- what the program uploads for one member; the totals keep one account from filling the server.

-- The limits by name; a refusal names the number it passed. Without a search path of its own, so that
-- it is folded into the statements that ask it.
CREATE OR REPLACE FUNCTION zp_limit(what text) RETURNS bigint
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE what
        WHEN 'page_chars' THEN 2097152             -- one member's page text, as sent
        WHEN 'picture_bytes' THEN 12582912         -- an item of that size or more is refused
        WHEN 'picture_path_chars' THEN 1024
        WHEN 'pictures_per_member' THEN 300
        WHEN 'account_members' THEN 200000
        WHEN 'account_bytes' THEN 2147483648       -- page texts and pictures of all its members
        WHEN 'group_name_chars' THEN 50
        WHEN 'account_no_chars' THEN 50            -- the log-on form's fields
        WHEN 'nickname_chars' THEN 50
        WHEN 'kept_answers' THEN 400000            -- answers one account has kept within two days
        WHEN 'installation_no_chars' THEN 32       -- board and installation numbers (12 as the program makes them)
        WHEN 'ebook_name_chars' THEN 100           -- an e-book's catalogue entry
        WHEN 'ebook_author_chars' THEN 100
        WHEN 'ebook_description_chars' THEN 1000
        WHEN 'ebook_category_chars' THEN 50
        WHEN 'ebook_address_chars' THEN 1024
        WHEN 'ebook_note_chars' THEN 128           -- strong-password record, address and adapter address
    END
$$;

-- Who wrote each page text and picture: its bytes are charged to that account, whoever created the
-- member. A database from before it had them charged to the member's creator, who is taken as the
-- writer; the totals are counted again then.
DO $$
DECLARE
    migrated boolean := false;
BEGIN
    IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = 'public'
                      AND table_name = 'member_stories' AND column_name = 'writer_id') THEN
        ALTER TABLE member_stories ADD COLUMN writer_id integer REFERENCES accounts;
        UPDATE member_stories s SET writer_id = m.myacc_id FROM members m WHERE m.filial_id = s.filial_id;
        ALTER TABLE member_stories ALTER COLUMN writer_id SET NOT NULL;
        migrated := true;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = 'public'
                      AND table_name = 'member_images' AND column_name = 'writer_id') THEN
        ALTER TABLE member_images ADD COLUMN writer_id integer REFERENCES accounts;
        UPDATE member_images i SET writer_id = m.myacc_id FROM members m WHERE m.filial_id = i.filial_id;
        ALTER TABLE member_images ALTER COLUMN writer_id SET NOT NULL;
        migrated := true;
    END IF;
    IF migrated AND to_regclass('public.account_usage') IS NOT NULL THEN
        WITH written AS (
            SELECT writer_id, sum(bytes) AS bytes FROM (
                SELECT writer_id, octet_length(hisdescript)::bigint AS bytes FROM member_stories
                UNION ALL
                SELECT writer_id, octet_length(myimage)::bigint FROM member_images) items
             GROUP BY writer_id)
        UPDATE account_usage u SET stored_bytes = coalesce((SELECT bytes FROM written WHERE writer_id = u.acc_id), 0);
    END IF;
END $$;
CREATE INDEX IF NOT EXISTS member_stories_writer ON member_stories (writer_id);
CREATE INDEX IF NOT EXISTS member_images_writer ON member_images (writer_id);

-- Each account's members (those it created) and the bytes it wrote, kept by the triggers below on every
-- change.
DO $$
BEGIN
    IF to_regclass('public.account_usage') IS NULL THEN
        CREATE TABLE account_usage (
            acc_id       integer PRIMARY KEY REFERENCES accounts ON DELETE CASCADE,
            members      integer NOT NULL DEFAULT 0,
            stored_bytes bigint NOT NULL DEFAULT 0
        );
        INSERT INTO account_usage (acc_id, members, stored_bytes)
        SELECT acc_id, sum(members), sum(bytes) FROM (
            SELECT myacc_id AS acc_id, count(*) AS members, 0::bigint AS bytes FROM members GROUP BY myacc_id
            UNION ALL
            SELECT writer_id, 0, octet_length(hisdescript) FROM member_stories
            UNION ALL
            SELECT writer_id, 0, octet_length(myimage) FROM member_images) counted
        GROUP BY acc_id;
    END IF;
END $$;

CREATE OR REPLACE FUNCTION zp_count_usage() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        UPDATE account_usage SET members = members - 1 WHERE acc_id = OLD.myacc_id;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') THEN
        INSERT INTO account_usage AS u (acc_id, members) VALUES (NEW.myacc_id, 1)
        ON CONFLICT (acc_id) DO UPDATE SET members = u.members + 1;
    END IF;
    RETURN NULL;
END $$;

CREATE OR REPLACE TRIGGER members_usage AFTER INSERT OR DELETE ON members
    FOR EACH ROW EXECUTE FUNCTION zp_count_usage();
-- Only a change of creator (an association keeping an expelled account's members) counts.
CREATE OR REPLACE TRIGGER members_usage_changed AFTER UPDATE OF myacc_id ON members
    FOR EACH ROW WHEN (OLD.myacc_id IS DISTINCT FROM NEW.myacc_id)
    EXECUTE FUNCTION zp_count_usage();
-- The members' own byte counts, from before the bytes went to their writers (looked for first, so that
-- a database without them is not locked for nothing).
DO $$
BEGIN
    IF EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = 'public'
                  AND table_name = 'members' AND column_name = 'stored_bytes') THEN
        ALTER TABLE members DROP COLUMN stored_bytes;
    END IF;
END $$;

-- A page text's or picture's bytes, taken from its writer when it goes and given to its writer when it
-- comes (a replacement by another account moves them); deleting a member takes its items with it.
CREATE OR REPLACE FUNCTION zp_count_written() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    bytes bigint;
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        IF TG_TABLE_NAME = 'member_stories' THEN
            bytes := octet_length(OLD.hisdescript);
        ELSE
            bytes := octet_length(OLD.myimage);
        END IF;
        UPDATE account_usage SET stored_bytes = stored_bytes - bytes WHERE acc_id = OLD.writer_id;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') THEN
        IF TG_TABLE_NAME = 'member_stories' THEN
            bytes := octet_length(NEW.hisdescript);
        ELSE
            bytes := octet_length(NEW.myimage);
        END IF;
        INSERT INTO account_usage AS u (acc_id, stored_bytes) VALUES (NEW.writer_id, bytes)
        ON CONFLICT (acc_id) DO UPDATE SET stored_bytes = u.stored_bytes + EXCLUDED.stored_bytes;
    END IF;
    RETURN NULL;
END $$;

CREATE OR REPLACE TRIGGER member_stories_usage AFTER INSERT OR UPDATE OR DELETE ON member_stories
    FOR EACH ROW EXECUTE FUNCTION zp_count_written();
CREATE OR REPLACE TRIGGER member_images_usage AFTER INSERT OR UPDATE OR DELETE ON member_images
    FOR EACH ROW EXECUTE FUNCTION zp_count_written();

-- Refuses the first of a member's text fields longer than the member form lets a user type: captions,
-- values and limits side by side. One call for all of them: each call of a function with a search path
-- of its own costs as much as the check.
DROP FUNCTION IF EXISTS zp_check_field(text, text, text, integer);
CREATE OR REPLACE FUNCTION zp_check_fields(member_name text, captions text[], fields text[], most integer[])
RETURNS void
LANGUAGE plpgsql IMMUTABLE SET search_path = public, pg_temp AS $$
BEGIN
    FOR i IN 1 .. coalesce(array_length(captions, 1), 0) LOOP
        IF char_length(coalesce(fields[i], '')) > most[i] THEN
            RAISE EXCEPTION '成员“%”的“%”超过 % 个字，服务器不予保存。', member_name, captions[i], most[i]
                USING ERRCODE = '54000';
        END IF;
    END LOOP;
END $$;

-- Refuses what would take the account's page texts and pictures past its total: growth bytes more.
CREATE OR REPLACE FUNCTION zp_check_account_bytes(acc integer, growth bigint, member_name text, what text)
RETURNS void
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
DECLARE
    kept bigint;
BEGIN
    IF growth <= 0 THEN
        RETURN;
    END IF;
    SELECT stored_bytes INTO kept FROM account_usage WHERE acc_id = acc FOR UPDATE;
    IF coalesce(kept, 0) + growth > zp_limit('account_bytes') THEN
        RAISE EXCEPTION '帐号在服务器上的页面和图片已近 2 GB 的上限，成员“%”的%不予保存。', member_name, what
            USING ERRCODE = '54000';
    END IF;
END $$;
