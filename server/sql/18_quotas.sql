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
    END
$$;

-- Page text and picture bytes a member holds, so that an account's total is kept without reading them.
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM information_schema.columns
                    WHERE table_schema = 'public' AND table_name = 'members' AND column_name = 'stored_bytes') THEN
        ALTER TABLE members ADD COLUMN stored_bytes bigint NOT NULL DEFAULT 0;
        UPDATE members m SET stored_bytes =
            coalesce((SELECT octet_length(s.hisdescript) FROM member_stories s WHERE s.filial_id = m.filial_id), 0) +
            coalesce((SELECT sum(octet_length(i.myimage)) FROM member_images i WHERE i.filial_id = m.filial_id), 0);
    END IF;
END $$;

-- Each account's members and their bytes, kept by the trigger below on every change of members.
DO $$
BEGIN
    IF to_regclass('public.account_usage') IS NULL THEN
        CREATE TABLE account_usage (
            acc_id       integer PRIMARY KEY REFERENCES accounts ON DELETE CASCADE,
            members      integer NOT NULL DEFAULT 0,
            stored_bytes bigint NOT NULL DEFAULT 0
        );
        INSERT INTO account_usage (acc_id, members, stored_bytes)
        SELECT myacc_id, count(*), sum(stored_bytes) FROM members GROUP BY myacc_id;
    END IF;
END $$;

CREATE OR REPLACE FUNCTION zp_count_usage() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        UPDATE account_usage SET members = members - 1, stored_bytes = stored_bytes - OLD.stored_bytes
         WHERE acc_id = OLD.myacc_id;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') THEN
        INSERT INTO account_usage AS u (acc_id, members, stored_bytes) VALUES (NEW.myacc_id, 1, NEW.stored_bytes)
        ON CONFLICT (acc_id) DO UPDATE SET members = u.members + 1, stored_bytes = u.stored_bytes + EXCLUDED.stored_bytes;
    END IF;
    RETURN NULL;
END $$;

CREATE OR REPLACE TRIGGER members_usage AFTER INSERT OR DELETE ON members
    FOR EACH ROW EXECUTE FUNCTION zp_count_usage();
-- Only a change of owner (an association keeping an expelled account's members) or of bytes counts.
CREATE OR REPLACE TRIGGER members_usage_changed AFTER UPDATE OF myacc_id, stored_bytes ON members
    FOR EACH ROW WHEN (OLD.myacc_id IS DISTINCT FROM NEW.myacc_id OR OLD.stored_bytes IS DISTINCT FROM NEW.stored_bytes)
    EXECUTE FUNCTION zp_count_usage();

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
